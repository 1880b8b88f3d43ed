#include "platform/OutputFile.h"

#include "platform/Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr std::size_t BufferSize = 1 << 16;
}

TOutputFile::~TOutputFile() {
    if (FFd >= 0)
        ::close(FFd);
}

void TOutputFile::Open(const std::string& fileName) {
    if (FFd >= 0)
        Close();
    FFileName = fileName;
    FBuffer.clear();
    FBuffer.reserve(BufferSize);
    FFd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0)
        throw TError(std::string("Cannot create the file: ") + std::strerror(errno), fileName);
}

void TOutputFile::Write(std::string_view text) {
    FTotal += text.size();
    if (FBuffer.size() + text.size() > BufferSize)
        Flush();
    if (text.size() >= BufferSize) {
        FBuffer.append(text);
        Flush();
        return;
    }
    FBuffer.append(text);
}

void TOutputFile::WriteLine(std::string_view text) {
    Write(text);
    Write("\r\n");
}

void TOutputFile::Flush() {
    const char* p = FBuffer.data();
    std::size_t left = FBuffer.size();
    while (left > 0) {
        ssize_t n = FFd >= 0 ? ::write(FFd, p, left) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int e = FFd >= 0 ? errno : EBADF;
            FBuffer.clear();
            if (FFd >= 0)
                ::close(FFd);
            FFd = -1;
            throw TError(std::string("Cannot write the file: ") + std::strerror(e), FFileName);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    FBuffer.clear();
}

void TOutputFile::Close() {
    if (FFd < 0)
        return;
    Flush();
    int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0)
        throw TError(std::string("Cannot write the file: ") + std::strerror(errno), FFileName);
}
