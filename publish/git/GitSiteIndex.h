#pragma once

// The site's files as a Git publish takes them: name, size, SHA-256 (for the manifest) and
// blob id, remembered between runs beside the local repository by each file's size, change
// time and inode, so that a publish after one page changed reads that page alone (as Git's
// own index spares it reading the files that did not change).

#include <git2/oid.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct TGitSiteFile {
    std::string Name;
    std::int64_t Size = 0;
    std::string Sha256;
    git_oid Blob{};
};

class TGitSiteIndex {
  public:
    // file: where the index is remembered (none is read when it is missing or spoilt).
    explicit TGitSiteIndex(std::string file);

    // The plain files directly in folder (hidden files, links and sub-folders left out), in
    // name order; a file not remembered as it stands is read. A TError names a file that
    // cannot be read.
    std::vector<TGitSiteFile> List(const std::string& folder);
    // Remembers what the last List found; a failure is passed over (the next run reads all).
    void Save() const;

  private:
    struct TStamp {
        std::int64_t Size = 0;
        std::int64_t ChangedNs = 0;
        std::int64_t ModifiedNs = 0;
        std::uint64_t Inode = 0;
        bool operator==(const TStamp&) const = default;
    };
    struct TEntry {
        TStamp Stamp;
        std::string Sha256;
        git_oid Blob{};
    };
    std::string FFile;
    std::map<std::string, TEntry> FEntries;
};

// The whole of a plain file, never read through a link; a TError naming it otherwise.
std::string ReadSiteFile(const std::string& path);
