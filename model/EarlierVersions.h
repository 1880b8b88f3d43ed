#pragma once

#include "model/ProjectDocuments.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

// One kept state of a project's documents: when it was kept, and the change that gave it.
struct TEarlierVersion {
    std::string Id;         // its running number in .history
    std::int64_t Time = 0;  // seconds since 1970, UTC
    std::string Change;     // "Add Page", "Topic", "Before Remove"
    std::int64_t Bytes = 0; // what its documents take, those it shares with others included
};

// The earlier versions of a project, kept in the hidden folder ".history" of the project
// folder so that they outlive the program: after every change the documents as they are
// then (Default.Pro and every column document).
// Each distinct document is kept once, in "objects/<SHA-256 of its bytes>"; a version is the
// list of its documents' names with their digests and sizes ("<number>.list", header line
// "corvane-history 1", then "<SHA-256> <size> <name>" lines), so that a change keeps only
// the documents it rewrote. Versions of earlier releases, a folder "<number>" holding the
// documents themselves, are read, restored and pruned alike. Every version has its time and
// change in a file beside it, written last: a version without one is an unfinished write and
// is cleared away. A list's is "<number>.info", a folder's "<number>.txt" as the earlier
// releases write it. Those releases look only at "<number>" and "<number>.txt" (and delete a
// "<number>.txt" without its folder), and number their versions past every entry that starts
// with a number: a project opened with them again keeps the versions of both kinds.
// The newest MaxVersions versions of at most MaxBytes bytes together are kept, a document
// that several of them share counted once; the oldest go first, and the documents that no
// kept version lists go with them. The newest version is kept even when it alone is larger
// than MaxBytes (the older ones then all go): a large project keeps the state its last change
// gave, instead of an empty history.
// The versions never hold the publishing password: the kept copy of Default.Pro has an
// empty PUBLISH/PASSWORD, and a restore keeps the password that the project has then.
// A document whose bytes no longer give its digest, a missing one, a broken list or anything
// but a plain file where a version's file should be makes that version unreadable (Read
// names the file) and leaves it out of List; nothing is read or written through a symbolic
// link. An entry named as a version's folder or file that is not what the name stands for (a
// link, a FIFO, a file for a folder) is a stray: Keep numbers past it and prunes the versions
// around it, never reading, writing or removing it, and Strays names it.
// Build and Publish never see the folder (the generator copies only the pictures and
// downloads the pages name, and hidden entries are never listed or deleted), and templates
// are made from the records, never from the folder.
// One object serves one project folder; it remembers the digests of the documents it kept,
// so that the window, which keeps one per open project, digests only what a change rewrote.
class TEarlierVersions {
  public:
    static constexpr std::size_t MaxVersions = 100;
    static constexpr std::int64_t MaxBytes = 20 * 1024 * 1024;
    static constexpr const char* FolderName = ".history";
    static constexpr const char* ObjectsName = "objects";

    explicit TEarlierVersions(std::string projectFolder);

    // Keeps after as the version that the change named change gave, at time. When before is
    // not the newest version kept (the first change, or files changed by something else
    // since), before is kept first, as "Before " + change, so that the state the change
    // started from can always be brought back. Throws TError naming the file or folder
    // that cannot be written.
    void Keep(const std::string& change, const TSharedDocuments& before,
              const TSharedDocuments& after, std::int64_t time);
    void Keep(const std::string& change, const TDocumentBytes& before, const TDocumentBytes& after,
              std::int64_t time);

    // Works out the digests of documents ahead of the next Keep, which then digests only the
    // documents whose bytes are not these (shared readings compare by their bytes' identity).
    // What the window does on another thread after opening a project, so that its first
    // change digests only what it rewrote; nothing is read from or written to the folder.
    void Prime(const TSharedDocuments& documents) { Listing(documents); }

    // The versions kept, newest first.
    std::vector<TEarlierVersion> List() const;
    // The stray entries of the folder (see above), as paths, in name order: for the one who
    // keeps versions to report.
    std::vector<std::string> Strays() const;
    // The documents of a version (Default.Pro without the password). Throws TError when it
    // is gone or cannot be read.
    TDocumentBytes Read(const TEarlierVersion& version) const;
    // Writes the version's documents back into the project folder (each atomically), with
    // the password of the project's Default.Pro as it is now.
    // Documents that the version does not hold stay as they are: a column document that
    // is no longer in the menu list does no harm. The caller records this as a change.
    void Restore(const TEarlierVersion& version) const;

    std::string Folder() const { return FProjectFolder + "/" + FolderName; }
    std::string ProjectFolder() const { return FProjectFolder; }

    // The documents as a version keeps them: Default.Pro without its password.
    static TDocumentBytes Kept(TDocumentBytes documents);

    // How many documents the last Keep digested and wrote.
    std::size_t DocumentsDigested() const { return FDigested; }
    std::size_t DocumentsWritten() const { return FWritten; }

  private:
    // A document as a version lists it.
    struct TListed {
        std::string Hash;
        std::int64_t Size = 0;
        bool operator==(const TListed&) const = default;
    };
    using TListing = std::map<std::string, TListed>;
    // A digest worked out, and the bytes it was worked out for.
    struct TDigested {
        std::weak_ptr<const std::string> Bytes;
        TListed Listed;
    };
    struct TStored;

    std::string ObjectsFolder() const { return Folder() + "/" + ObjectsName; }
    std::vector<TStored> Stored(bool checkObjects) const;
    TListing Listing(const TSharedDocuments& documents);
    void Add(const std::string& change, const TListing& listing, const TSharedDocuments& documents,
             std::int64_t time);
    void RemoveVersion(const std::string& id) const;
    void Prune() const;

    std::string FProjectFolder;
    std::map<std::string, TDigested> FDigests;
    std::size_t FDigested = 0;
    std::size_t FWritten = 0;
};
