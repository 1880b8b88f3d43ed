#include "platform/Sha256.h"

#include "platform/Error.h"
#include "platform/FileDescriptor.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct TSha256::TContext {
    EVP_MD_CTX* Digest = nullptr;
    ~TContext() { EVP_MD_CTX_free(Digest); }
};

TSha256::TSha256() : FContext(std::make_unique<TContext>()) {
    FContext->Digest = EVP_MD_CTX_new();
    if (!FContext->Digest || EVP_DigestInit_ex(FContext->Digest, EVP_sha256(), nullptr) != 1)
        throw TError("SHA-256 is not available");
}

TSha256::~TSha256() = default;

void TSha256::Add(const void* bytes, std::size_t size) {
    if (EVP_DigestUpdate(FContext->Digest, bytes, size) != 1)
        throw TError("SHA-256 is not available");
}

std::string TSha256::Finish() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (EVP_DigestFinal_ex(FContext->Digest, digest, &length) != 1)
        throw TError("SHA-256 is not available");
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 0x0f];
    }
    return text;
}

std::string Sha256OfBytes(const std::string& bytes) {
    TSha256 digest;
    digest.Add(bytes.data(), bytes.size());
    return digest.Finish();
}

std::string Sha256OfFile(const std::string& path, std::int64_t* size) {
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        throw TError(std::string("Cannot open the file: ") + std::strerror(error), path);
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw TError("Not a plain file", path);
    TSha256 digest;
    std::int64_t total = 0;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            throw TError(std::string("Cannot read the file: ") + std::strerror(error), path);
        }
        if (n == 0)
            break;
        digest.Add(buffer, static_cast<std::size_t>(n));
        total += n;
    }
    if (size)
        *size = total;
    return digest.Finish();
}

bool IsSha256Text(std::string_view text) {
    if (text.size() != 64)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}
