#pragma once

// What a synchronising publish does: the site's files compared with the manifest the server
// holds, each found new, changed or unchanged, and the files the manifest lists that the site
// no longer has, to be deleted. Files on the server that the manifest does not list are never
// part of a plan.

#include "publish/Manifest.h"

#include <cstdint>
#include <string>
#include <vector>

enum class TSyncKind { New, Changed, Unchanged, Delete };

// "New", "Changed", "Unchanged" or "Delete", as the publish dialog shows it.
const char* SyncKindText(TSyncKind kind);

// A file of the site as it is now.
struct TLocalFile {
    std::string Name;
    std::int64_t Size = 0;
    std::string Sha256;
};

struct TSyncItem {
    std::string Name;
    TSyncKind Kind = TSyncKind::New;
    // For a file of the site: its size and hash now; for Delete: the size the manifest says
    // (its hash stays in the plan's Remote).
    std::int64_t Size = 0;
    std::string Sha256;
    // Whether the run sends it (or, for Delete, deletes it): unchanged files start unticked.
    bool Ticked = true;
};

class TSyncPlan {
  public:
    // More deletions than this in one run need the user's confirmation.
    static constexpr int DeleteCap = 50;

    // remote: the manifest read from the server, or none (missing or unreadable): then every
    // file counts as new and nothing is deleted. The site's files keep their order; the
    // deletions follow in name order. A listed name that a file of the site spells the same
    // but for case is not deleted: to a server that ignores case both are one file, which
    // the site's file takes over (its old spelling then drops out of the manifest).
    static TSyncPlan Make(const std::vector<TLocalFile>& site, const TManifest* remote);
    // The same with the manifest read, taken over without a copy.
    static TSyncPlan Make(const std::vector<TLocalFile>& site, TManifest&& remote);

    int Uploads() const;
    std::int64_t UploadBytes() const;
    int Deletes() const;
    int Unchanged() const;
    // "12 to upload (340 KB), 3 to delete, 988 unchanged": the ticked uploads and deletions,
    // and the files left alone because they are unchanged.
    std::string Summary() const;
    // "Delete N files that the site no longer has?" when more than DeleteCap are ticked.
    std::string DeleteQuestion() const;

    // The manifest to write once the run has ended with every ticked item done: what the
    // server then holds of what this program published. An item not sent keeps the old
    // manifest's entry (a changed file stays changed for the next run; a file not deleted
    // stays listed), and the entries of its other spellings; those of a file sent or
    // unchanged go.
    TManifest ManifestAfterRun() const;
    // The names the manifest lists that siteName spells the same but for case and that the
    // site does not have (none in a plan made without a manifest).
    std::vector<std::string> OtherSpellings(const std::string& siteName) const;

    std::vector<TSyncItem> Items;
    // The manifest the plan was made from (empty when there was none).
    TManifest Remote;
};

// name with its capitals in small letters (those of ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic; bytes that are not UTF-8 as they are): two names that a server ignoring case
// takes for one give the same.
std::string FoldedName(const std::string& name);
// Whether a and b are the same name to a server that ignores case.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

// The plain files directly in folder (hidden files, links and sub-folders left out), in name
// order,
// with their sizes and hashes.
std::vector<TLocalFile> ListSiteFiles(const std::string& folder);
