#include "platform/FileFaults.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace FileCalls {

namespace Detail {

std::atomic<TFileFaults*> ActiveFaults{nullptr};

bool Fails(int TFileFaults::*fail, int TFileFaults::*calls) {
    TFileFaults* faults = ActiveFaults.load(std::memory_order_relaxed);
    if (!faults)
        return false;
    const int call = ++(faults->*calls);
    if (faults->*fail == 0 || call != faults->*fail)
        return false;
    errno = faults->Error;
    return true;
}

} // namespace Detail

int Create(const char* path, int flags, mode_t mode) {
    if (Fails(&TFileFaults::FailCreate, &TFileFaults::Creates))
        return -1;
    return ::open(path, flags | O_CLOEXEC, mode);
}

ssize_t Read(int fd, void* data, size_t size) {
    if (Fails(&TFileFaults::FailRead, &TFileFaults::Reads))
        return -1;
    return ::read(fd, data, size);
}

ssize_t Write(int fd, const void* data, size_t size) {
    if (Fails(&TFileFaults::FailWrite, &TFileFaults::Writes))
        return -1;
    return ::write(fd, data, size);
}

int Fsync(int fd) {
    if (Fails(&TFileFaults::FailFsync, &TFileFaults::Fsyncs))
        return -1;
    return ::fsync(fd);
}

int Close(int fd) {
    if (Fails(&TFileFaults::FailClose, &TFileFaults::Closes)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return ::close(fd);
}

int Rename(const char* from, const char* to) {
    if (Fails(&TFileFaults::FailRename, &TFileFaults::Renames))
        return -1;
    return ::rename(from, to);
}

} // namespace FileCalls

TScopedFileFaults::TScopedFileFaults(const TFileFaults& faults)
    : FFaults(faults), FPrevious(nullptr) {
    FFaults.Creates = FFaults.Reads = FFaults.Writes = 0;
    FFaults.Fsyncs = FFaults.Closes = FFaults.Renames = 0;
    FPrevious = FileCalls::Detail::ActiveFaults.exchange(&FFaults);
}

TScopedFileFaults::~TScopedFileFaults() {
    FileCalls::Detail::ActiveFaults.store(FPrevious);
}
