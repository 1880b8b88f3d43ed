#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// A project in one file: a zip archive ("NAME.corvane") of the project's documents
// (Default.Pro and the column documents) and the files in its Images and Downloads folders.
// Temp, HTML and the earlier versions stay behind, and the archived Default.Pro holds no
// publishing password.
//
// The first entry is the archive's list, "corvane-archive.txt": the line
// "corvane-archive 1", then one line per entry, "SIZE SHA-256 NAME". Importing believes
// nothing of the archive that it has not checked: every entry's name, type, size and digest
// against the list, the total size as the bytes arrive, the documents with the model's own
// readers; only then is the project renamed into place.

// What the archive may hold at most. The defaults are the program's; the tests use smaller.
struct TArchiveLimits {
    std::int64_t TotalBytes = std::int64_t{2} * 1024 * 1024 * 1024;
    // Room for the list of Entries files of names of common length.
    std::int64_t ListBytes = 16 * 1024 * 1024;
    std::size_t Entries = 100000;
};

struct TArchiveSummary {
    int Files = 0;          // entries besides the list
    std::int64_t Bytes = 0; // their bytes
    // What an export left out and why ("Images/Old (a folder)"): sub-folders, links and
    // anything else that is not a plain file in Images and Downloads.
    std::vector<std::string> LeftOut;
};

// The extension of a project archive, with its dot.
extern const char* const ProjectArchiveExtension;
// The name of the list inside the archive.
extern const char* const ProjectArchiveList;

// Writes the project in projectFolder into archiveFile, through a temporary file beside it
// that is renamed into place at the end; an existing archiveFile is replaced only when
// replace is set ("The file ... exists already." otherwise). Throws TError naming the file
// or the document that failed; nothing is left behind then. A column document that the
// menu names must be there and readable. Export and import both stop with "The export (or
// import) was cancelled" soon after *cancel is set (by a signal handler), leaving nothing
// behind as for any other failure.
TArchiveSummary ExportProject(const std::string& projectFolder, const std::string& archiveFile,
                              bool replace, const TArchiveLimits& limits = {},
                              const std::atomic<bool>* cancel = nullptr);

// Unpacks archiveFile into the new folder projectFolder, which must not exist ("The folder
// ... exists already."). Everything is written into a temporary folder beside it, checked and
// renamed into place at the end. Throws TError naming the archive, the entry and what is
// wrong; nothing is left behind then.
TArchiveSummary ImportProject(const std::string& archiveFile, const std::string& projectFolder,
                              const TArchiveLimits& limits = {},
                              const std::atomic<bool>* cancel = nullptr);

// The project's name an archive suggests: its file name without the extension.
std::string ArchiveProjectName(const std::string& archiveFile);
