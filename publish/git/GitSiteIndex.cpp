#include "publish/git/GitSiteIndex.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"

#include <git2.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* Header = "corvane-git-site-index 1";

std::int64_t Nanoseconds(const timespec& time) {
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

std::string ReadSiteFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw TError(std::string("The file cannot be read: ") +
                         (fd >= 0 ? "not a plain file" : std::strerror(error)),
                     path);
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw TError(std::string("The file cannot be read: ") + std::strerror(error), path);
        }
        if (got == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return bytes;
}

TGitSiteIndex::TGitSiteIndex(std::string file) : FFile(std::move(file)) {
    std::ifstream in(FFile);
    std::string line;
    if (!std::getline(in, line) || line != Header)
        return;
    // "SIZE CHANGED MODIFIED INODE SHA256 BLOB NAME" a line.
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        TEntry entry;
        std::string blob;
        if (!(fields >> entry.Stamp.Size >> entry.Stamp.ChangedNs >> entry.Stamp.ModifiedNs >>
              entry.Stamp.Inode >> entry.Sha256 >> blob) ||
            fields.get() != ' ' || !IsSha256Text(entry.Sha256) ||
            git_oid_fromstr(&entry.Blob, blob.c_str()) != 0) {
            FEntries.clear();
            return;
        }
        std::string name;
        std::getline(fields, name);
        FEntries[name] = entry;
    }
}

std::vector<TGitSiteFile> TGitSiteIndex::List(const std::string& folder) {
    std::string root = folder;
    if (!root.empty() && root.back() != '/')
        root += '/';
    std::map<std::string, TEntry> found;
    std::vector<TGitSiteFile> files;
    for (const TFileEntry& item : ListFolder(root)) {
        if (!item.IsRegular || item.IsLink || item.Name.empty() || item.Name[0] == '.' ||
            item.Name.find('\n') != std::string::npos)
            continue;
        const std::string path = root + item.Name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const TStamp stamp{static_cast<std::int64_t>(st.st_size), Nanoseconds(st.st_ctim),
                           Nanoseconds(st.st_mtim), static_cast<std::uint64_t>(st.st_ino)};
        TEntry entry;
        const auto known = FEntries.find(item.Name);
        if (known != FEntries.end() && known->second.Stamp == stamp) {
            entry = known->second;
        } else {
            const std::string bytes = ReadSiteFile(path);
            entry.Stamp = stamp;
            entry.Stamp.Size = static_cast<std::int64_t>(bytes.size());
            entry.Sha256 = Sha256OfBytes(bytes);
            git_odb_hash(&entry.Blob, bytes.data(), bytes.size(), GIT_OBJECT_BLOB);
        }
        files.push_back({item.Name, entry.Stamp.Size, entry.Sha256, entry.Blob});
        found[item.Name] = entry;
    }
    FEntries = std::move(found);
    return files;
}

void TGitSiteIndex::Save() const {
    std::string text = Header;
    text += '\n';
    for (const auto& [name, entry] : FEntries) {
        char blob[GIT_OID_HEXSZ + 1];
        git_oid_tostr(blob, sizeof blob, &entry.Blob);
        text += std::to_string(entry.Stamp.Size) + ' ' + std::to_string(entry.Stamp.ChangedNs) +
                ' ' + std::to_string(entry.Stamp.ModifiedNs) + ' ' +
                std::to_string(entry.Stamp.Inode) + ' ' + entry.Sha256 + ' ' + blob + ' ' + name +
                '\n';
    }
    try {
        WriteFileAtomically(FFile, text);
    } catch (const std::exception&) {
        // Only a saving: the next run reads every file.
    }
}
