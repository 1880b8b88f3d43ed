#pragma once

#include "model/ProjectDocuments.h"

#include <cstdint>
#include <string>
#include <vector>

// One kept state of a project's documents: when it was kept, and the change that gave it.
struct TEarlierVersion {
    std::string Id;         // the name of its folder in .history
    std::int64_t Time = 0;  // seconds since 1970, UTC
    std::string Change;     // "Add Page", "Topic", "Before Remove"
    std::int64_t Bytes = 0; // what its documents take on disk
};

// The earlier versions of a project, kept in the hidden folder ".history" of the project
// folder so that they outlive the program: after every change the documents as they are
// then (Default.Pro and every column document), each version in a folder of its own named by
// a running number, with its time and change in a file beside it ("<number>.txt", written
// last: a version without one is an unfinished write and is cleared away). The newest
// MaxVersions versions of at most MaxBytes bytes together are kept; the oldest go first.
// The newest version is kept even when it alone is larger than MaxBytes (the older ones
// then all go): a large project keeps the state its last change gave, instead of an empty
// history.
// The versions never hold the publishing password: the kept copy of Default.Pro has an
// empty PUBLISH/PASSWORD, and a restore keeps the password that the project has then.
// Build and Publish never see the folder (the generator copies only the pictures and
// downloads the pages name, and hidden entries are never listed or deleted), and templates
// are made from the records, never from the folder.
class TEarlierVersions {
  public:
    static constexpr std::size_t MaxVersions = 100;
    static constexpr std::int64_t MaxBytes = 20 * 1024 * 1024;
    static constexpr const char* FolderName = ".history";

    explicit TEarlierVersions(std::string projectFolder);

    // Keeps after as the version that the change named change gave, at time. When before is
    // not the newest version kept (the first change, or files changed by something else
    // since), before is kept first, as "Before " + change, so that the state the change
    // started from can always be brought back. Throws TError naming the file or folder
    // that cannot be written.
    void Keep(const std::string& change, const TDocumentBytes& before, const TDocumentBytes& after,
              std::int64_t time);

    // The versions kept, newest first.
    std::vector<TEarlierVersion> List() const;
    // The documents of a version (Default.Pro without the password). Throws TError when it
    // is gone or cannot be read.
    TDocumentBytes Read(const TEarlierVersion& version) const;
    // Writes the version's documents back into the project folder (each atomically), with
    // the password of the project's Default.Pro as it is now.
    // Documents that the version does not hold stay as they are: a column document that
    // is no longer in the menu list does no harm. The caller records this as a change.
    void Restore(const TEarlierVersion& version) const;

    std::string Folder() const { return FProjectFolder + "/" + FolderName; }

    // The documents as a version keeps them: Default.Pro without its password.
    static TDocumentBytes Kept(TDocumentBytes documents);

  private:
    std::string VersionFolder(const std::string& id) const { return Folder() + "/" + id; }
    void Add(const std::string& change, const TDocumentBytes& documents, std::int64_t time);
    void RemoveVersion(const std::string& id) const;
    void Prune() const;

    std::string FProjectFolder;
};
