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
