#include "platform/FileSystem.h"

#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/FileFaults.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string TemporaryNameBeside(const std::string& fileName) {
    static std::atomic<unsigned> counter{0};
    return fileName + ".~" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

// Creates a new temporary file beside fileName for its owner only, never opening anything
// that is there already (a leftover, a link planted under the name); temporary gets its name.
TFileDescriptor CreateTemporaryBeside(const std::string& fileName, std::string& temporary) {
    for (int attempt = 0;; ++attempt) {
        temporary = TemporaryNameBeside(fileName);
        TFileDescriptor fd(
            FileCalls::Create(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600));
        if (fd || errno != EEXIST || attempt == 10000)
            return fd;
    }
}

// Makes a rename into folder of fileName durable; a failure only loses that guarantee.
void SyncFolderOf(const std::string& fileName) {
    const std::string folder = FolderPart(fileName);
    TFileDescriptor fd(
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd)
        (void)::fsync(fd.Get());
}

// The process's file mode creation mask, read without changing it (umask(2) would, for a
// moment, for every thread).
mode_t CurrentUmask() {
    TFileDescriptor fd(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    char buffer[4096];
    ssize_t n = fd ? ::read(fd.Get(), buffer, sizeof buffer - 1) : -1;
    if (n > 0) {
        buffer[n] = '\0';
        if (const char* line = std::strstr(buffer, "\nUmask:"))
            return static_cast<mode_t>(std::strtoul(line + 8, nullptr, 8)) & 0777;
    }
    return 022;
}

// The permission bits that a file written in place of fileName is to get: those of the
// file there now, or newFileMode less the umask when there is none.
mode_t ModeFor(const std::string& fileName, unsigned newFileMode) {
    struct stat st {};
    if (::lstat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    return static_cast<mode_t>(newFileMode) & 0777 & ~CurrentUmask();
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = FileCalls::Write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool FolderExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsPlainFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0;
}

bool RemoveEmptyFolder(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return st.st_size;
}

bool ReadFileStamp(const std::string& path, TFileStamp& stamp) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.Device = static_cast<std::uint64_t>(st.st_dev);
    stamp.Inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.Size = st.st_size;
    stamp.ModifiedSeconds = st.st_mtim.tv_sec;
    stamp.ModifiedNanoseconds = st.st_mtim.tv_nsec;
    return true;
}

bool ReadFileSignature(const std::string& path, TFileSignature& signature) {
    struct stat st {};
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    signature.Stamp.Device = static_cast<std::uint64_t>(st.st_dev);
    signature.Stamp.Inode = static_cast<std::uint64_t>(st.st_ino);
    signature.Stamp.Size = st.st_size;
    signature.Stamp.ModifiedSeconds = st.st_mtim.tv_sec;
    signature.Stamp.ModifiedNanoseconds = st.st_mtim.tv_nsec;
    signature.ChangedSeconds = st.st_ctim.tv_sec;
    signature.ChangedNanoseconds = st.st_ctim.tv_nsec;
    return true;
}

// CopyFileReplacing with the errno of a failure in error.
static bool CopyPlainFile(const std::string& source, const std::string& target, int& error) {
    // Never through a link, and never waiting on a FIFO or device: only a plain file is read.
    TFileDescriptor in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in) {
        error = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(in.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = EINVAL;
        return false;
    }
    std::string temporary;
    TFileDescriptor out = CreateTemporaryBeside(target, temporary);
    if (!out) {
        error = errno;
        return false;
    }
    // As a file created with 0666 would be.
    (void)::fchmod(out.Get(), 0666 & ~CurrentUmask());
    bool ok = true;
    char buffer[1 << 16];
    for (;;) {
        ssize_t n = FileCalls::Read(in.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!WriteAll(out.Get(), buffer, static_cast<std::size_t>(n))) {
            error = errno;
            ok = false;
            break;
        }
    }
    in.Reset();
    if (int closeError = out.Close(); closeError != 0 && ok) {
        error = closeError;
        ok = false;
    }
    if (ok && FileCalls::Rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

bool CopyFileReplacing(const std::string& source, const std::string& target, int* error) {
    int failure = 0;
    const bool copied = CopyPlainFile(source, target, failure);
    if (error)
        *error = copied ? 0 : failure;
    return copied;
}

bool DeleteFileQuietly(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::vector<TFileEntry> ListFolder(const std::string& path) {
    std::vector<TFileEntry> entries;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return entries;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        TFileEntry entry;
        entry.Name = name;
        struct stat st {};
        std::string full = path.empty() || path.back() == '/' ? path + name : path + "/" + name;
        if (::lstat(full.c_str(), &st) == 0) {
            entry.IsFolder = S_ISDIR(st.st_mode);
            entry.IsRegular = S_ISREG(st.st_mode);
            entry.IsLink = S_ISLNK(st.st_mode);
            entry.Size = entry.IsRegular ? st.st_size : 0;
        }
        entries.push_back(entry);
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const TFileEntry& a, const TFileEntry& b) { return a.Name < b.Name; });
    return entries;
}

void CheckRealFolder(const std::string& path) {
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    struct stat st {};
    // A folder that is not there is left to the writes into it, which name their file.
    if (::lstat(name.c_str(), &st) != 0)
        return;
    if (S_ISLNK(st.st_mode))
        throw TError("The folder is a symbolic link: nothing is deleted or written through it",
                     name);
    if (!S_ISDIR(st.st_mode))
        throw TError("The folder is not a folder", name);
}

void WriteFileAtomically(const std::string& fileName, const std::string& data,
                         unsigned newFileMode) {
    const mode_t mode = ModeFor(fileName, newFileMode);
    std::string temporary;
    TFileDescriptor fd = CreateTemporaryBeside(fileName, temporary);
    if (!fd) {
        const int error = errno;
        throw TError(std::string("Cannot write the file: ") + std::strerror(error), fileName);
    }
    // Set on the descriptor, so that the bits are right before the name is.
    bool written = ::fchmod(fd.Get(), mode) == 0;
    int error = written ? 0 : errno;
    if (written) {
        written = WriteAll(fd.Get(), data.data(), data.size());
        error = written ? 0 : errno;
    }
    if (written && FileCalls::Fsync(fd.Get()) != 0) {
        written = false;
        error = errno;
    }
    if (int closeError = fd.Close(); closeError != 0 && written) {
        written = false;
        error = closeError;
    }
    if (written && FileCalls::Rename(temporary.c_str(), fileName.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        throw TError(std::string("Cannot write the file: ") + std::strerror(error), fileName);
    }
    SyncFolderOf(fileName);
}

bool IsLeftoverTemporaryOf(const std::string& name, const std::string& fileName) {
    // fileName + ".~" + digits + "_" + digits, exactly.
    const std::string head = fileName + ".~";
    if (name.size() <= head.size() || name.compare(0, head.size(), head) != 0)
        return false;
    const std::string tail = name.substr(head.size());
    const std::size_t bar = tail.find('_');
    auto digits = [](const std::string& text) {
        return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    };
    return bar != std::string::npos && digits(tail.substr(0, bar)) && digits(tail.substr(bar + 1));
}

std::string FileNamePart(const std::string& name) {
    std::size_t pos = name.find_last_of("/\\:");
    return pos == std::string::npos ? name : name.substr(pos + 1);
}

std::string FileExtension(const std::string& name) {
    std::string base = FileNamePart(name);
    std::size_t dot = base.rfind('.');
    return dot == std::string::npos ? std::string() : base.substr(dot);
}

std::string WithoutExtension(const std::string& name) {
    return name.substr(0, name.size() - FileExtension(name).size());
}

std::string FolderPart(const std::string& path) {
    std::size_t pos = path.find_last_of('/');
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}
