#include "publish/folder/FolderTransport.h"

#include "platform/FileFaults.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// The permissions of a file made where none had the name (less the umask).
constexpr mode_t NewFileMode = 0644;
constexpr mode_t NewFolderMode = 0755;
constexpr std::size_t ChunkSize = 64 * 1024;

std::string ShownQuoted(const std::string& text) {
    return "\"" + ControlCharactersShown(text) + "\"";
}

// Whether a failed call reported that a link stood where it would not follow one.
bool IsLink(int error) {
    return error == ELOOP || error == EMLINK;
}

// The name a part file stands in for: tempName without PartFilePrefix before its last part.
std::string ReplacedName(const std::string& tempName) {
    const std::size_t slash = tempName.rfind('/');
    const std::size_t at = slash == std::string::npos ? 0 : slash + 1;
    const std::string prefix = PartFilePrefix;
    if (tempName.compare(at, prefix.size(), prefix) != 0 || tempName.size() == at + prefix.size())
        return tempName;
    return tempName.substr(0, at) + tempName.substr(at + prefix.size());
}

} // namespace

TFolderTransport::TFolderTransport(TTransportSettings settings) : FSettings(std::move(settings)) {}

void TFolderTransport::Log(const std::string& line) const {
    if (OnLog)
        OnLog(line);
}

void TFolderTransport::Check(const std::string& step) {
    if (FCancelled)
        throw TTransportError("Folder " + ControlCharactersShown(FFolder) + ", " + step +
                                  ": cancelled",
                              TTransportFailure::Cancelled, "Cancelled.");
}

void TFolderTransport::Fail(const std::string& step, const std::string& name, int error,
                            TTransportFailure otherwise) const {
    const std::string where = "in the folder " + ShownQuoted(FFolder);
    std::string reason;
    TTransportFailure kind = otherwise;
    if (error == ENOENT) {
        kind = TTransportFailure::FileMissing;
        reason = ShownQuoted(name) + " is not " + where + ".";
    } else if (error == ENOSPC || error == EDQUOT) {
        kind = TTransportFailure::DiskFull;
        reason =
            "The folder " + ShownQuoted(FFolder) + " has no room for " + ShownQuoted(name) + ".";
    } else if (IsLink(error)) {
        kind = TTransportFailure::FileRefused;
        reason = ShownQuoted(name) + " " + where + " is a link, which publishing never follows.";
    } else {
        reason = ShownQuoted(name) + " " + where + ": " + std::strerror(error) + ".";
    }
    throw TTransportError("Folder " + ControlCharactersShown(FFolder) + ", " + step + " " +
                              ControlCharactersShown(name) + ": " + std::strerror(error),
                          kind, reason, {}, name);
}

void TFolderTransport::Connect() {
    Check("connect");
    FConnected = true;
}

void TFolderTransport::Disconnect() noexcept {
    FRoot.Reset();
    FConnected = false;
}

void TFolderTransport::ChangeFolder(const std::string& folder) {
    FFolder = folder;
    Check("open");
    Log("Open " + ControlCharactersShown(folder));
    if (folder.empty() || folder[0] != '/')
        throw TTransportError("Folder " + ControlCharactersShown(folder) + ": not a full path",
                              TTransportFailure::FolderMissing,
                              "The folder " + ShownQuoted(folder) +
                                  " is to be given as a full path, starting with \"/\".");
    // The folder itself may be reached through a link: the owner named it.
    TFileDescriptor root(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root) {
        const int error = errno;
        throw TTransportError("Folder " + ControlCharactersShown(folder) + ": " +
                                  std::strerror(error),
                              TTransportFailure::FolderMissing,
                              error == ENOENT || error == ENOTDIR
                                  ? "The folder " + ShownQuoted(folder) + " does not exist."
                                  : "The folder " + ShownQuoted(folder) + " cannot be opened (" +
                                        std::strerror(error) + ").");
    }
    FRoot = std::move(root);
}

TFileDescriptor TFolderTransport::Parent(const std::string& step, const std::string& name,
                                         std::string& leaf) {
    Check(step);
    if (!FRoot)
        throw TTransportError("Folder: " + step + " " + ControlCharactersShown(name) +
                                  " before the folder was opened",
                              TTransportFailure::FolderMissing, "No folder set.");
    std::vector<std::string> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t slash = name.find('/', at);
        parts.push_back(
            name.substr(at, slash == std::string::npos ? std::string::npos : slash - at));
        if (slash == std::string::npos)
            break;
        at = slash + 1;
    }
    for (const std::string& part : parts)
        if (part.empty() || part == "." || part == ".." || part.find('\0') != std::string::npos)
            throw TTransportError("Folder " + ControlCharactersShown(FFolder) + ", " + step + " " +
                                      ControlCharactersShown(name) +
                                      ": a name that could leave the folder",
                                  TTransportFailure::FileRefused,
                                  ShownQuoted(name) + " is no name of a file in the folder " +
                                      ShownQuoted(FFolder) + ".",
                                  {}, name);
    TFileDescriptor folder(::fcntl(FRoot.Get(), F_DUPFD_CLOEXEC, 0));
    if (!folder)
        Fail(step, name, errno);
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        TFileDescriptor next(::openat(folder.Get(), parts[i].c_str(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next)
            Fail(step, name, errno == ENOTDIR ? ELOOP : errno);
        folder = std::move(next);
    }
    leaf = parts.back();
    return folder;
}

void TFolderTransport::Store(const std::string& localPath, const std::string& partName,
                             const std::string& remoteName,
                             const std::function<void(std::int64_t)>& progress) {
    const std::string step = "upload";
    std::string leaf;
    TFileDescriptor folder = Parent(step, partName, leaf);
    TFileDescriptor local(::open(localPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat localStat {};
    if (!local || ::fstat(local.Get(), &localStat) != 0 || !S_ISREG(localStat.st_mode)) {
        const int error = local ? EINVAL : errno;
        throw TTransportError("Folder " + ControlCharactersShown(FFolder) + ", " + step + ": " +
                                  ControlCharactersShown(localPath) + " cannot be read (" +
                                  std::strerror(error) + ")",
                              TTransportFailure::Other,
                              "The file " + ShownQuoted(localPath) + " cannot be read.", {},
                              remoteName);
    }
    // The page it replaces keeps its permissions.
    mode_t mode = NewFileMode;
    std::string remoteLeaf;
    {
        TFileDescriptor remoteFolder = Parent(step, remoteName, remoteLeaf);
        struct stat held {};
        if (::fstatat(remoteFolder.Get(), remoteLeaf.c_str(), &held, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(held.st_mode))
            mode = held.st_mode & 07777;
    }
    // Whatever had the part name goes first (a link only as itself); a folder stays and fails.
    if (::unlinkat(folder.Get(), leaf.c_str(), 0) != 0 && errno != ENOENT)
        Fail(step, partName, errno);
    if (FileCalls::Fails(&TFileFaults::FailCreate, &TFileFaults::Creates))
        Fail(step, remoteName, errno);
    TFileDescriptor part(::openat(folder.Get(), leaf.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!part)
        Fail(step, remoteName, errno);
    const auto failed = [&](int error) {
        part.Reset();
        ::unlinkat(folder.Get(), leaf.c_str(), 0);
        if (error == ECANCELED)
            Check(step);
        Fail(step, remoteName, error);
    };
    std::unique_ptr<char[]> buffer(new char[ChunkSize]);
    std::int64_t sent = 0;
    for (;;) {
        if (FCancelled)
            failed(ECANCELED);
        const ssize_t got = FileCalls::Read(local.Get(), buffer.get(), ChunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            failed(errno);
        if (got == 0)
            break;
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(got)) {
            const ssize_t wrote = FileCalls::Write(part.Get(), buffer.get() + done,
                                                   static_cast<std::size_t>(got) - done);
            if (wrote < 0 && errno == EINTR)
                continue;
            if (wrote <= 0)
                failed(wrote < 0 ? errno : EIO);
            done += static_cast<std::size_t>(wrote);
        }
        sent += got;
        if (progress)
            progress(sent);
    }
    if (FileCalls::Fsync(part.Get()) != 0)
        failed(errno);
    if (const int error = part.Close(); error != 0)
        failed(error);
}

void TFolderTransport::UploadPart(const std::string& localPath, const std::string& tempName,
                                  const std::function<void(std::int64_t)>& progress) {
    Log("Store " + ControlCharactersShown(tempName));
    Store(localPath, tempName, ReplacedName(tempName), progress);
}

void TFolderTransport::Upload(const std::string& localPath, const std::string& remoteName,
                              const std::function<void(std::int64_t)>& progress) {
    // The plain publish's files too go in whole: never written through what has the name.
    UploadReplacing(localPath, remoteName, PrefixedName(PartFilePrefix, remoteName), progress);
}

std::string TFolderTransport::Download(const std::string& remoteName, std::int64_t maxBytes) {
    const std::string step = "read";
    std::string leaf;
    TFileDescriptor folder = Parent(step, remoteName, leaf);
    Log("Read " + ControlCharactersShown(remoteName));
    // Not blocking: a FIFO with the name must not hold the run.
    TFileDescriptor file(
        ::openat(folder.Get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file)
        Fail(step, remoteName, errno);
    struct stat held {};
    if (::fstat(file.Get(), &held) != 0)
        Fail(step, remoteName, errno);
    if (!S_ISREG(held.st_mode))
        throw TTransportError("Folder " + ControlCharactersShown(FFolder) + ", " + step + " " +
                                  ControlCharactersShown(remoteName) + ": not a plain file",
                              TTransportFailure::FileRefused,
                              ShownQuoted(remoteName) + " in the folder " + ShownQuoted(FFolder) +
                                  " is not a plain file.",
                              {}, remoteName);
    std::string content;
    char buffer[16384];
    for (;;) {
        Check(step);
        const ssize_t got = FileCalls::Read(file.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            Fail(step, remoteName, errno);
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
        if (static_cast<std::int64_t>(content.size()) > maxBytes)
            throw TTransportError("Folder " + ControlCharactersShown(FFolder) + ", " + step + " " +
                                      ControlCharactersShown(remoteName) + ": longer than " +
                                      std::to_string(maxBytes) + " bytes",
                                  TTransportFailure::Other,
                                  ShownQuoted(remoteName) + " in the folder " +
                                      ShownQuoted(FFolder) + " is longer than " +
                                      std::to_string(maxBytes) + " bytes.",
                                  {}, remoteName);
    }
    return content;
}

void TFolderTransport::Delete(const std::string& remoteName) {
    const std::string step = "delete";
    std::string leaf;
    TFileDescriptor folder = Parent(step, remoteName, leaf);
    Log("Delete " + ControlCharactersShown(remoteName));
    struct stat held {};
    if (::fstatat(folder.Get(), leaf.c_str(), &held, AT_SYMLINK_NOFOLLOW) != 0)
        Fail(step, remoteName, errno);
    if (S_ISDIR(held.st_mode))
        Fail(step, remoteName, EISDIR);
    if (::unlinkat(folder.Get(), leaf.c_str(), 0) != 0)
        Fail(step, remoteName, errno);
}

void TFolderTransport::Rename(const std::string& fromName, const std::string& toName) {
    const std::string step = "rename";
    std::string fromLeaf, toLeaf;
    TFileDescriptor from = Parent(step, fromName, fromLeaf);
    TFileDescriptor to = Parent(step, toName, toLeaf);
    Log("Rename " + ControlCharactersShown(fromName) + " to " + ControlCharactersShown(toName));
    if (FileCalls::Fails(&TFileFaults::FailRename, &TFileFaults::Renames))
        Fail(step, toName, errno);
    if (::renameat(from.Get(), fromLeaf.c_str(), to.Get(), toLeaf.c_str()) != 0) {
        const int error = errno;
        Fail(step, error == ENOENT ? fromName : toName, error);
    }
}

std::int64_t TFolderTransport::RemoteSize(const std::string& remoteName) {
    std::string leaf;
    TFileDescriptor folder = Parent("size", remoteName, leaf);
    struct stat held {};
    if (::fstatat(folder.Get(), leaf.c_str(), &held, AT_SYMLINK_NOFOLLOW) != 0)
        Fail("size", remoteName, errno);
    return S_ISREG(held.st_mode) ? static_cast<std::int64_t>(held.st_size) : -1;
}

TPresence TFolderTransport::TargetPresent(const std::string& remoteName) {
    std::string leaf;
    TFileDescriptor folder = Parent("look at", remoteName, leaf);
    struct stat held {};
    if (::fstatat(folder.Get(), leaf.c_str(), &held, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? TPresence::Absent : TPresence::Unknown;
    return S_ISDIR(held.st_mode) ? TPresence::Absent : TPresence::Present;
}

std::vector<std::string> TFolderTransport::ListNames() {
    Check("list");
    if (!FRoot)
        throw TTransportError("Folder: list before the folder was opened",
                              TTransportFailure::FolderMissing, "No folder set.");
    const int fd = ::openat(FRoot.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        Fail("list", FFolder, errno);
    DIR* listing = ::fdopendir(fd);
    if (!listing) {
        const int error = errno;
        ::close(fd);
        Fail("list", FFolder, error);
    }
    std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, ::closedir);
    std::vector<std::string> names;
    std::size_t bytes = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bytes += name.size() + 1;
        if (bytes > MaxListingBytes)
            throw TTransportError("Folder " + ControlCharactersShown(FFolder) +
                                      ", list: more than " + std::to_string(MaxListingBytes) +
                                      " bytes of names",
                                  TTransportFailure::Other,
                                  "The folder " + ShownQuoted(FFolder) + " holds too many names.");
        names.push_back(name);
    }
    return names;
}

void TFolderTransport::MakeFolder(const std::string& name) {
    std::string leaf;
    TFileDescriptor folder = Parent("make folder", name, leaf);
    Log("Make folder " + ControlCharactersShown(name));
    if (::mkdirat(folder.Get(), leaf.c_str(), NewFolderMode) != 0)
        Fail("make folder", name, errno);
}

void TFolderTransport::RemoveFolder(const std::string& name) {
    std::string leaf;
    TFileDescriptor folder = Parent("remove folder", name, leaf);
    Log("Remove folder " + ControlCharactersShown(name));
    if (::unlinkat(folder.Get(), leaf.c_str(), AT_REMOVEDIR) != 0)
        Fail("remove folder", name, errno);
}
