#pragma once

// The host key of an SSH server checked against a known_hosts file as OpenSSH writes it:
// plain host names ("host", "[host]:port", several joined by commas, "*" and "?" patterns,
// "!" for a name left out) and hashed ones ("|1|salt|hash"); "@revoked" marks a key refused
// wherever it is offered, "@cert-authority" lines are passed over. Used for Git over SSH,
// whose host key reaches the run's certificate check as libgit2 shows it.

#include <string>

enum class TKnownHost {
    Known,   // the file names this key for the host
    Unknown, // the file names no key for the host
    Changed, // the file names other keys for the host, or revokes this one
};

// key: the raw host key (the blob that known_hosts holds in base64); host and port as the
// connection names them (a port other than 22 is looked up as "[host]:port"). A file that
// cannot be read names nothing (Unknown).
TKnownHost CheckKnownHost(const std::string& knownHostsFile, const std::string& host, int port,
                          const std::string& key);

// The user's known_hosts file ($HOME/.ssh/known_hosts), empty without a home.
std::string UserKnownHostsFile();

// base64 text as bytes; false when it is no such text.
bool DecodeBase64(const std::string& text, std::string& bytes);
