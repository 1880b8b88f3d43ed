#pragma once

#include "model/ProjectDocuments.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The documents of one project folder as they were last read, each with the signature of
// its file then, so that reading them again reads only the files whose signature moved on:
// a document rewritten in place or renamed into place, a new column document. A document
// whose file went, or is no longer a regular file, goes from the reading.
// A file whose last write was so recent that a write after the reading could leave its
// signature as it is (file times move on in steps of a clock tick, or of whole seconds on
// some file systems) is read again the next time too, so a same-size rewrite is never missed.
// One cache serves one folder: the window keeps one per open project and clears it when the
// project closes.
class TDocumentCache {
  public:
    // The documents as ReadProjectDocuments reads them, byte for byte. The reference holds
    // until the next Read or Clear; the bytes themselves as long as anyone shares them. A
    // document whose bytes did not change since the reading before (its file was not
    // written, or was written with the same bytes) shares that reading's bytes. Throws
    // TError naming the file that cannot be read; the files read so far stay known.
    const TSharedDocuments& Read(const TDProject& project);
    // The same for the named documents of folder (ProjectDocumentNames), without the project
    // object: what a reading on another thread is given, the names worked out beforehand.
    const TSharedDocuments& Read(const std::string& folder, const std::vector<std::string>& names);
    // The same, copied out.
    TDocumentBytes ReadBytes(const TDProject& project) { return BytesOf(Read(project)); }

    void Clear();

    // How many files the last Read read from disk.
    std::size_t FilesRead() const { return FFilesRead; }

  private:
    struct TEntry {
        TFileSignature Signature;
        bool Recent = false; // read again next time whatever its signature
    };

    std::string FFolder;
    std::map<std::string, TEntry> FEntries;
    TSharedDocuments FDocuments;
    std::size_t FFilesRead = 0;
};
