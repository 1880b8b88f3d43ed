#pragma once

// Zip archives made entry by entry with libarchive, for the tests of project archives: any
// name, type, announced size and list, so that a hostile archive can be written as easily as
// a good one.

#include "platform/Sha256.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct TRawEntry {
    enum class TKind { File, Symlink, Hardlink, Folder };
    TRawEntry(std::string name, std::string bytes, TKind kind = TKind::File, std::string link = {})
        : Name(std::move(name)), Bytes(std::move(bytes)), Kind(kind), Link(std::move(link)) {}
    std::string Name;
    std::string Bytes;
    TKind Kind = TKind::File;
    std::string Link;            // what a link names
    std::int64_t Announced = -1; // the size in the header; -1 for the size of Bytes
};

// The list of an archive naming each of the entries, as an export writes it.
inline std::string ListOf(const std::vector<TRawEntry>& entries) {
    std::string text = "corvane-archive 1\n";
    for (const TRawEntry& entry : entries)
        text += std::to_string(entry.Bytes.size()) + " " + Sha256OfBytes(entry.Bytes) + " " +
                entry.Name + "\n";
    return text;
}

// Writes the entries into a zip archive, stored or deflated.
inline void WriteRawZip(const std::string& path, const std::vector<TRawEntry>& entries,
                        bool store = false) {
    struct archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    if (store)
        archive_write_set_options(zip, "zip:compression=store");
    archive_write_set_options(zip, "zip:hdrcharset=UTF-8");
    if (archive_write_open_filename(zip, path.c_str()) != ARCHIVE_OK)
        throw std::runtime_error("cannot write " + path);
    for (const TRawEntry& raw : entries) {
        struct archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname_utf8(entry, raw.Name.c_str());
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_mtime(entry, 1700000000, 0);
        switch (raw.Kind) {
        case TRawEntry::TKind::File:
            archive_entry_set_filetype(entry, AE_IFREG);
            break;
        case TRawEntry::TKind::Symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, raw.Link.c_str());
            break;
        case TRawEntry::TKind::Hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, raw.Link.c_str());
            break;
        case TRawEntry::TKind::Folder:
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
            break;
        }
        archive_entry_set_size(entry, raw.Announced >= 0
                                          ? raw.Announced
                                          : static_cast<std::int64_t>(raw.Bytes.size()));
        if (archive_write_header(zip, entry) < ARCHIVE_WARN)
            throw std::runtime_error(std::string("cannot write entry: ") +
                                     archive_error_string(zip));
        archive_entry_free(entry);
        if (!raw.Bytes.empty())
            archive_write_data(zip, raw.Bytes.data(), raw.Bytes.size());
        archive_write_finish_entry(zip);
    }
    archive_write_close(zip);
    archive_write_free(zip);
}

// An archive's entries as the zip reader gives them: name, type and size.
struct TReadEntry {
    std::string Name;
    bool Regular = false;
    std::string Bytes;
};
inline std::vector<TReadEntry> ReadRawZip(const std::string& path) {
    std::vector<TReadEntry> entries;
    struct archive* zip = archive_read_new();
    archive_read_support_format_zip_streamable(zip);
    if (archive_read_open_filename(zip, path.c_str(), 10240) != ARCHIVE_OK)
        throw std::runtime_error("cannot read " + path);
    struct archive_entry* entry = nullptr;
    while (archive_read_next_header(zip, &entry) == ARCHIVE_OK) {
        TReadEntry read;
        read.Name = archive_entry_pathname_utf8(entry);
        read.Regular = archive_entry_filetype(entry) == AE_IFREG;
        char buffer[8192];
        la_ssize_t got = 0;
        while ((got = archive_read_data(zip, buffer, sizeof buffer)) > 0)
            read.Bytes.append(buffer, static_cast<std::size_t>(got));
        entries.push_back(read);
    }
    archive_read_free(zip);
    return entries;
}
