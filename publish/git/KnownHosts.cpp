#include "publish/git/KnownHosts.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

bool DecodeBase64(const std::string& text, std::string& bytes) {
    if (text.empty() || text.size() % 4 != 0)
        return false;
    std::string out(text.size() / 4 * 3, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0)
        return false;
    std::size_t padding = 0;
    if (text.back() == '=')
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    out.resize(static_cast<std::size_t>(length) - padding);
    bytes = std::move(out);
    return true;
}

namespace {

// OpenSSH's pattern: "*" any run of characters, "?" any one.
bool PatternMatches(const char* pattern, const char* name) {
    for (;; ++pattern, ++name) {
        if (*pattern == '*') {
            for (const char* rest = name;; ++rest) {
                if (PatternMatches(pattern + 1, rest))
                    return true;
                if (*rest == '\0')
                    return false;
            }
        }
        if (*pattern == '\0' || *name == '\0')
            return *pattern == *name;
        if (*pattern != '?' && *pattern != *name)
            return false;
    }
}

// "|1|salt|hash": the HMAC-SHA1 of the name under the salt.
bool HashedMatches(const std::string& entry, const std::string& name) {
    const std::size_t bar = entry.find('|', 3);
    std::string salt, hash;
    if (bar == std::string::npos || !DecodeBase64(entry.substr(3, bar - 3), salt) ||
        !DecodeBase64(entry.substr(bar + 1), hash))
        return false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!HMAC(EVP_sha1(), salt.data(), static_cast<int>(salt.size()),
              reinterpret_cast<const unsigned char*>(name.data()), name.size(), digest, &length))
        return false;
    return hash == std::string(reinterpret_cast<const char*>(digest), length);
}

// Whether the comma-separated host field names name: a negated pattern that matches wins.
bool HostsMatch(const std::string& field, const std::string& name) {
    if (field.rfind("|1|", 0) == 0)
        return HashedMatches(field, name);
    bool matched = false;
    std::stringstream patterns(field);
    std::string pattern;
    while (std::getline(patterns, pattern, ',')) {
        const bool negated = !pattern.empty() && pattern[0] == '!';
        if (!PatternMatches(pattern.c_str() + (negated ? 1 : 0), name.c_str()))
            continue;
        if (negated)
            return false;
        matched = true;
    }
    return matched;
}

} // namespace

TKnownHost CheckKnownHost(const std::string& knownHostsFile, const std::string& host, int port,
                          const std::string& key) {
    const std::string name =
        port == 22 || port <= 0 ? host : "[" + host + "]:" + std::to_string(port);
    std::ifstream file(knownHostsFile);
    // A revoked key stays refused wherever its line stands: the whole file is read first.
    bool known = false;
    bool other = false;
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream fields(line);
        std::string first, hosts, type, blob;
        if (!(fields >> first) || first[0] == '#')
            continue;
        std::string marker;
        if (first[0] == '@') {
            marker = first;
            fields >> hosts;
        } else {
            hosts = first;
        }
        if (!(fields >> type >> blob) || marker == "@cert-authority" || !HostsMatch(hosts, name))
            continue;
        std::string bytes;
        if (!DecodeBase64(blob, bytes))
            continue;
        if (bytes == key) {
            if (marker == "@revoked")
                return TKnownHost::Changed;
            known = true;
            continue;
        }
        // A key of another type is known too: the server offered the type it prefers.
        if (marker.empty())
            other = true;
    }
    if (known)
        return TKnownHost::Known;
    return other ? TKnownHost::Changed : TKnownHost::Unknown;
}

std::string UserKnownHostsFile() {
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + "/.ssh/known_hosts" : std::string();
}
