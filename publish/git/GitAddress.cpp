#include "publish/git/GitAddress.h"

#include "model/Values.h"
#include "platform/Error.h"
#include "platform/Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <optional>

namespace {

[[noreturn]] void Refuse(const std::string& address, const std::string& why) {
    throw TError("The repository address \"" + ControlCharactersShown(address) + "\" " + why + ".");
}

} // namespace

TGitAddress ParseGitAddress(const std::string& address) {
    TGitAddress parts;
    if (address.empty())
        Refuse(address, "is empty");
    if (address.find_first_of(std::string("\r\n\t\0", 4)) != std::string::npos)
        Refuse(address, "holds a control character");
    const std::size_t scheme = address.find("://");
    if (scheme == std::string::npos) {
        const std::size_t colon = address.find(':');
        const std::size_t slash = address.find('/');
        // "user@host:path": a colon before any slash, as Git reads it.
        if (colon != std::string::npos && (slash == std::string::npos || colon < slash) &&
            colon > 0) {
            parts.Scheme = "ssh";
            std::string host = address.substr(0, colon);
            const std::size_t at = host.rfind('@');
            if (at != std::string::npos) {
                parts.User = host.substr(0, at);
                host = host.substr(at + 1);
            }
            if (host.empty())
                Refuse(address, "names no host");
            parts.Host = host;
            parts.Port = 22;
            parts.Path = address.substr(colon + 1);
            return parts;
        }
        parts.Scheme = "file";
        parts.Path = address;
        return parts;
    }
    parts.Scheme = address.substr(0, scheme);
    for (char& c : parts.Scheme)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::string rest = address.substr(scheme + 3);
    if (parts.Scheme == "file") {
        parts.Path = rest;
        return parts;
    }
    if (parts.Scheme == "https")
        parts.Port = 443;
    else if (parts.Scheme == "http")
        parts.Port = 80;
    else if (parts.Scheme == "ssh")
        parts.Port = 22;
    else
        Refuse(address, "is not an https://, http://, ssh:// or file:// address");
    const std::size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    parts.Path = slash == std::string::npos ? std::string("/") : rest.substr(slash);
    const std::size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        parts.User = authority.substr(0, at);
        authority = authority.substr(at + 1);
        // A password or token written into the address would be shown and saved with it.
        if (parts.User.find(':') != std::string::npos)
            Refuse(address, "holds a password or token: give the user name and the token in "
                            "the settings of their own, where the token is kept safe");
    }
    // "[::1]:2222" or "host:2222".
    std::size_t portColon = std::string::npos;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string::npos)
            Refuse(address, "names no host");
        if (close + 1 < authority.size() && authority[close + 1] == ':')
            portColon = close + 1;
        parts.Host = authority.substr(1, close - 1);
    } else {
        portColon = authority.find(':');
        parts.Host = authority.substr(0, portColon);
    }
    if (portColon != std::string::npos) {
        const std::optional<int> port = TryStrictInteger(authority.substr(portColon + 1));
        if (!port || *port < 1 || *port > 65535)
            Refuse(address, "names no valid port");
        parts.Port = *port;
    }
    if (parts.Host.empty())
        Refuse(address, "names no host");
    return parts;
}

bool IsLoopbackHost(const std::string& host) {
    std::string name = host;
    for (char& c : name)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (name == "localhost" || name == "localhost.")
        return true;
    in_addr v4{};
    if (::inet_pton(AF_INET, name.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return ::inet_pton(AF_INET6, name.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

std::string ClearTextTokenRefusal(const TGitAddress& address) {
    if (address.Scheme != "http" || IsLoopbackHost(address.Host))
        return {};
    return "The token is not sent to " + ControlCharactersShown(address.Host) +
           " over http://, where anyone on the way could read it; give the repository's "
           "https:// address instead.";
}
