#pragma once

#include <atomic>
#include <cerrno>
#include <sys/types.h>

// The file calls through which the platform layer writes files, and a switch with which the
// tests make one of them fail. Without faults set, each call costs one relaxed load on top of
// the system call.
//
// Counting starts when the faults are set: FailWrite = 1 fails the first write, 2 the second,
// and so on; 0 fails none. Each failure happens once, the calls after it succeed again. A
// failing call does not do its work (nothing is written, synced or renamed) and reports
// Error, except close, which still closes the descriptor as a failing close does.
struct TFileFaults {
    int FailCreate = 0; // opening a file for writing
    int FailRead = 0;
    int FailWrite = 0;
    int FailFsync = 0;
    int FailClose = 0; // reported closes (TFileDescriptor::Close)
    int FailRename = 0;
    int Error = EIO;

    // Calls seen since the faults were set.
    int Creates = 0;
    int Reads = 0;
    int Writes = 0;
    int Fsyncs = 0;
    int Closes = 0;
    int Renames = 0;
};

// Sets faults for its lifetime and puts back the ones set before. For tests on one thread.
class TScopedFileFaults {
  public:
    explicit TScopedFileFaults(const TFileFaults& faults);
    ~TScopedFileFaults();
    TScopedFileFaults(const TScopedFileFaults&) = delete;
    TScopedFileFaults& operator=(const TScopedFileFaults&) = delete;

    // The faults with the calls counted so far.
    const TFileFaults& Faults() const { return FFaults; }

  private:
    TFileFaults FFaults;
    TFileFaults* FPrevious;
};

namespace FileCalls {

namespace Detail {
extern std::atomic<TFileFaults*> ActiveFaults;
// Counts the call; true (with errno set) when it is the one to fail.
bool Fails(int TFileFaults::*fail, int TFileFaults::*calls);
} // namespace Detail

inline bool Fails(int TFileFaults::*fail, int TFileFaults::*calls) {
    if (Detail::ActiveFaults.load(std::memory_order_relaxed) == nullptr) [[likely]]
        return false;
    return Detail::Fails(fail, calls);
}

// open(2) for writing, with O_CLOEXEC added.
int Create(const char* path, int flags, mode_t mode);
ssize_t Read(int fd, void* data, size_t size);
ssize_t Write(int fd, const void* data, size_t size);
int Fsync(int fd);
int Close(int fd);
int Rename(const char* from, const char* to);

} // namespace FileCalls
