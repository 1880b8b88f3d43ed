#pragma once

// The list, kept in the remote folder, of the files this program published there: each
// file's name, size and SHA-256. A synchronising publish reads it first to learn what the
// server holds, and writes it last, once every upload and delete has succeeded.
//
// Its text: the header line, then one line per file, "SHA256 SIZE NAME" (the hash in 64
// lower-case hexadecimal digits, the size in decimal, the name to the end of the line, so
// that it may hold blanks), each line ending with LF, the files in name order.
//
// Right after the header line, the copy of the project that wrote it and when, as a line of
// the same form that names no file: 64 zeros, size 0 and the name "corvane-published-by ID
// at 2026-12-10T02:45:40Z" (the project's id, the time in UTC). A release that does not know
// the line reads it as a file the site does not have, and only deletes that file (which is
// not there) once; a manifest without it (an earlier release's) has no writer.
//
// Beside it, while a run is under way, the list of the files whose content on the server is
// not known (".corvane-pending"): the header line, then one name per line. A run writes it
// before it sends or deletes anything and removes it after the new manifest, so that a run
// broken off between the two leaves the names it may have changed marked as unknown. The
// next run then sends those files again (or deletes them when the site no longer has them),
// whatever the manifest says of them; a manifest entry alone would claim the old content.

#include "platform/Sha256.h"

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>

// A SHA-256 as the manifest lists it, held as its 32 bytes so that the largest manifest
// takes little memory; empty when the content is not known. Made from, compared with and
// shown as the lower-case hexadecimal text that Sha256OfBytes gives (any other text makes
// an empty one).
class TSha256Digest {
  public:
    TSha256Digest() = default;
    TSha256Digest(std::string_view text);
    TSha256Digest(const std::string& text) : TSha256Digest(std::string_view(text)) {}
    TSha256Digest(const char* text) : TSha256Digest(std::string_view(text)) {}

    bool empty() const { return !FKnown; }
    std::string Text() const;
    operator std::string() const { return Text(); }
    bool operator==(const TSha256Digest&) const = default;
    bool operator==(const std::string& text) const { return Text() == text; }

  private:
    std::array<unsigned char, 32> FBytes{};
    bool FKnown = false;
};

struct TManifestEntry {
    std::int64_t Size = 0;
    // Empty when the content on the server is not known (a file listed as pending).
    TSha256Digest Sha256;
    bool Known() const { return !Sha256.empty(); }
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
    // that is not "hash size name", a name twice, a name with a folder part or a hidden one).
    static TManifest Parse(const std::string& text);
    // The text of the entries whose content is known; the others belong in the pending list.
    std::string Text() const;

    // The name and first line of the pending list.
    static constexpr const char* PendingFileName = ".corvane-pending";
    static constexpr const char* PendingHeader = "corvane-pending 1";
    // Reads a pending list's text; throws TError saying what is wrong.
    static std::set<std::string> ParsePending(const std::string& text);
    static std::string PendingText(const std::set<std::string>& names);

    // Every name in names is listed with its content unknown.
    void MarkUnknown(const std::set<std::string>& names);
    // The names listed with their content unknown.
    std::set<std::string> Unknown() const;

    // The line that names the writer begins its name with this.
    static constexpr const char* PublisherPrefix = "corvane-published-by ";

    // The time as the manifest writes it ("2026-12-10T02:45:40Z", UTC), and back; false when
    // text is not such a time.
    static std::string TimeText(std::int64_t seconds);
    static bool ParseTime(const std::string& text, std::int64_t& seconds);

    std::map<std::string, TManifestEntry> Files;
    // The id of the copy of the project that wrote the manifest (hexadecimal digits) and the
    // time it was written (seconds since 1970, UTC); empty and 0 when the manifest does not
    // say.
    std::string PublisherId;
    std::int64_t PublishedAt = 0;
    bool operator==(const TManifest&) const = default;
};
