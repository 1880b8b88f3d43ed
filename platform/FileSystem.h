#pragma once

#include <cstdint>
#include <string>
#include <vector>

// File-system operations the program needs. Paths use "/" as the separator. Failures that
// the program expects (a folder that exists, a picture that is missing, a file that cannot
// be deleted) are reported by the return value, never by an exception.

bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);
// Makes one level of folder; false when it exists already or cannot be made.
bool MakeFolder(const std::string& path);
// Removes a folder that holds nothing; false when it is not there, not empty or not removable.
bool RemoveEmptyFolder(const std::string& path);
// True for a regular file itself: false for a symbolic link (whatever it names), a FIFO, a
// device, a folder or nothing.
bool IsPlainFile(const std::string& path);
// Copies a regular file byte for byte, replacing the target (written beside it and renamed
// into place). False when the source is missing, unreadable, a symbolic link or anything but a
// regular file (never waited on), or the target cannot be written.
// When given, *error is set to the errno of a failure (0 on success).
bool CopyFileReplacing(const std::string& source, const std::string& target, int* error = nullptr);
bool DeleteFileQuietly(const std::string& path);
// Size of a regular file, or -1.
std::int64_t FileSize(const std::string& path);

// What tells one version of a file from another without reading it: where it lies, its size
// and when it was last written.
struct TFileStamp {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    std::int64_t Size = 0;
    std::int64_t ModifiedSeconds = 0;
    long ModifiedNanoseconds = 0;
    bool operator==(const TFileStamp&) const = default;
};
// The stamp of a regular file itself (not through a symbolic link); false for anything else.
bool ReadFileStamp(const std::string& path, TFileStamp& stamp);

// What tells one content of a file from another more strictly than TFileStamp: the stamp and
// the time of the last change of the file's inode (which every write, rename into place and
// change of mode moves on, and which no program can set back).
struct TFileSignature {
    TFileStamp Stamp;
    std::int64_t ChangedSeconds = 0;
    long ChangedNanoseconds = 0;
    bool operator==(const TFileSignature&) const = default;
};
// The signature of a regular file itself (not through a symbolic link); false for anything
// else.
bool ReadFileSignature(const std::string& path, TFileSignature& signature);

struct TFileEntry {
    std::string Name;
    std::int64_t Size = 0;
    bool IsFolder = false;
    bool IsRegular = false;
    bool IsLink = false; // a symbolic link, whatever it points at
};
// The entries of a folder (without "." and ".."), sorted by name. Empty when unreadable.
std::vector<TFileEntry> ListFolder(const std::string& path);

// Throws TError naming path when it is there but not a folder itself: a symbolic link (to a
// folder or not) or anything else is refused, so that nothing is deleted or written through
// it. A path that is not there passes.
void CheckRealFolder(const std::string& path);

// Writes data to a temporary file beside the target and renames it over the target, so a
// crash or a full disk never leaves a half-written file. The file keeps the permission bits
// of the file it replaces; a new one gets newFileMode (less the umask). Throws TError naming
// the file.
void WriteFileAtomically(const std::string& fileName, const std::string& data,
                         unsigned newFileMode = 0666);

// True when name is that of a temporary file of WriteFileAtomically or CopyFileReplacing
// for fileName (fileName + ".~" + digits + "_" + digits) that a crash left behind.
bool IsLeftoverTemporaryOf(const std::string& name, const std::string& fileName);

// Whether name can be a file's name in a folder as it stands: not empty, not "." or "..",
// without "/", "\" or NUL.
bool IsPlainFileName(const std::string& name);
// The text after the last "/", "\" or ":" of a name; a bare name is its own file-name part.
std::string FileNamePart(const std::string& name);
// The extension of the file-name part, with its dot, or empty.
std::string FileExtension(const std::string& name);
// The name without the extension of its file-name part.
std::string WithoutExtension(const std::string& name);
// The folder part of a path, with its closing separator ("" for a bare name).
std::string FolderPart(const std::string& path);
