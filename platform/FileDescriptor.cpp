#include "platform/FileDescriptor.h"

#include "platform/FileFaults.h"

#include <cerrno>
#include <unistd.h>

void TFileDescriptor::Reset(int fd) noexcept {
    if (FFd >= 0 && FFd != fd)
        ::close(FFd);
    FFd = fd;
}

int TFileDescriptor::Close() noexcept {
    if (FFd < 0)
        return 0;
    const int fd = Release();
    if (FileCalls::Close(fd) == 0)
        return 0;
    return errno != 0 ? errno : EIO;
}
