#include "platform/OutputFile.h"

#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/FileFaults.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A fast 64-bit hash of a file's bytes, eight at a time.
std::uint64_t HashBytes(const std::string& data) {
    std::uint64_t h = 0x243F6A8885A308D3ull ^ data.size();
    const char* p = data.data();
    std::size_t left = data.size();
    while (left >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
        p += 8;
        left -= 8;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, p, left);
    h = (h ^ tail) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 32;
    return h;
}

bool SameFile(const struct stat& st, std::uint64_t size, dev_t device, ino_t inode,
              std::int64_t seconds, long nanoseconds) {
    return S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) == size &&
           st.st_dev == device && st.st_ino == inode && st.st_mtim.tv_sec == seconds &&
           st.st_mtim.tv_nsec == nanoseconds;
}

} // namespace

void TOutputFile::Open(const std::string& fileName) {
    FFileName = fileName;
    FBuffer.clear();
    FOpen = true;
}

void TOutputFile::SetEncoding(const std::string& encoding) {
    if (encoding.empty())
        FEncoder.reset();
    else if (!FEncoder || FEncoder->Encoding() != encoding)
        FEncoder = std::make_unique<TCharsetEncoder>(encoding);
}

void TOutputFile::Abandon() {
    FBuffer.clear();
    FOpen = false;
}

void TOutputFile::Close() {
    if (!FOpen)
        return;
    FOpen = false;
    if (FEncoder) {
        FEncoded.clear();
        try {
            FEncoder->Encode(FBuffer, FEncoded);
            FEncoder->Finish(FEncoded);
        } catch (...) {
            FEncoder->Reset();
            FBuffer.clear();
            throw;
        }
        FBuffer.swap(FEncoded);
    }
    FTotal += FBuffer.size();
    const std::uint64_t hash = HashBytes(FBuffer);
    auto known = FKnown.find(FFileName);
    if (known != FKnown.end() && known->second.Hash == hash &&
        known->second.Size == FBuffer.size()) {
        struct stat st {};
        const TKnownFile& k = known->second;
        if (::stat(FFileName.c_str(), &st) == 0 &&
            SameFile(st, k.Size, k.Device, k.Inode, k.ModifiedSeconds, k.ModifiedNanoseconds)) {
            ++FUnchanged;
            FBuffer.clear();
            return;
        }
    }
    TKnownFile& entry = FKnown[FFileName];
    entry = TKnownFile{};
    try {
        WriteToDisk(entry);
    } catch (...) {
        FKnown.erase(FFileName);
        FBuffer.clear();
        throw;
    }
    entry.Hash = hash;
    entry.Size = FBuffer.size();
    ++FWritten;
    FBuffer.clear();
}

void TOutputFile::WriteToDisk(TKnownFile& known) {
    // Written beside the page and renamed into place: whatever entry has the page's name (a
    // link to a file elsewhere among them) is replaced, never opened, and a page that cannot
    // be written is never left half written.
    // Two builds may write at once, each on a thread of its own.
    static std::atomic<unsigned> counter{0};
    std::string temporary;
    TFileDescriptor fd;
    for (int attempt = 0; !fd && attempt < 10000; ++attempt) {
        temporary = FFileName + ".~" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
        fd.Reset(
            FileCalls::Create(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666));
        if (!fd && errno != EEXIST)
            break;
    }
    if (!fd) {
        const int error = errno;
        throw TError(std::string("Cannot create the file: ") + std::strerror(error), FFileName);
    }
    auto fail = [&](const char* what, int error) {
        fd.Reset();
        ::unlink(temporary.c_str());
        throw TError(std::string(what) + std::strerror(error), FFileName);
    };
    const char* p = FBuffer.data();
    std::size_t left = FBuffer.size();
    while (left > 0) {
        ssize_t n = FileCalls::Write(fd.Get(), p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("Cannot write the file: ", errno);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    struct stat st {};
    bool stated = ::fstat(fd.Get(), &st) == 0;
    if (int error = fd.Close(); error != 0)
        fail("Cannot write the file: ", error);
    if (FileCalls::Rename(temporary.c_str(), FFileName.c_str()) != 0)
        fail("Cannot write the file: ", errno);
    if (stated) {
        known.Device = st.st_dev;
        known.Inode = st.st_ino;
        known.ModifiedSeconds = st.st_mtim.tv_sec;
        known.ModifiedNanoseconds = st.st_mtim.tv_nsec;
    }
}
