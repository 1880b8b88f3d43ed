#pragma once

// The list, kept in the remote folder, of the files this program published there: each
// file's name, size and SHA-256. A synchronising publish reads it first to learn what the
// server holds, and writes it last, once every upload and delete has succeeded.
//
// Its text: the header line, then one line per file, "SHA256 SIZE NAME" (the hash in 64
// lower-case hexadecimal digits, the size in decimal, the name to the end of the line, so
// that it may hold blanks), each line ending with LF, the files in name order.

#include "platform/Sha256.h"

#include <cstdint>
#include <map>
#include <string>

struct TManifestEntry {
    std::int64_t Size = 0;
    std::string Sha256;
    bool operator==(const TManifestEntry&) const = default;
};

class TManifest {
  public:
    // The name of the manifest in the remote folder.
    static constexpr const char* FileName = ".corvane-manifest";
    // Its first line, which names the format's version.
    static constexpr const char* Header = "corvane-manifest 1";
    // The largest manifest that is read; a bigger one counts as unreadable.
    static constexpr std::size_t MaxBytes = 16u * 1024u * 1024u;

    // Reads a manifest's text; throws TError saying what is wrong (another header, a line
    // that is not "hash size name", a name twice, a name with a folder part).
    static TManifest Parse(const std::string& text);
    std::string Text() const;

    std::map<std::string, TManifestEntry> Files;
    bool operator==(const TManifest&) const = default;
};
