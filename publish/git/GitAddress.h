#pragma once

// The parts of a Git repository's address as the publish settings hold it: "https://" and
// "http://" (a user name may stand before the host), "ssh://user@host:port/path", the short
// form "user@host:path" of SSH, "file://" and a local folder.

#include <cstdint>
#include <string>

struct TGitAddress {
    // "https", "http", "ssh" or "file" (a local folder too).
    std::string Scheme;
    std::string User;
    std::string Host;
    // The port the address names, else the scheme's own (443, 80, 22); 0 for a folder.
    std::int32_t Port = 0;
    std::string Path;
};

// The parts of address; a TError naming it when it is none of the forms above.
TGitAddress ParseGitAddress(const std::string& address);

// Whether host is this machine ("localhost", 127.0.0.0/8, ::1): what goes there never
// leaves it.
bool IsLoopbackHost(const std::string& host);

// Why a token may not be sent to address, in one sentence: over http:// to another machine
// anyone on the way could read it. Empty where it may be sent (https://, or http:// to this
// machine, as the tests' servers are).
std::string ClearTextTokenRefusal(const TGitAddress& address);
