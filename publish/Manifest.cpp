#include "publish/Manifest.h"

#include "platform/Error.h"
#include "platform/FileDescriptor.h"
#include "platform/Text.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsLowerHex(const std::string& text) {
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

// A name the lists may hold: a file directly in the remote folder that a run may have sent,
// never a hidden one (the site's hidden files are never published, and the server's, such
// as .htaccess or this program's own lists, are not to be deleted).
bool IsPlainName(const std::string& name) {
    return !name.empty() && name[0] != '.' &&
           name.find_first_of(std::string("/\\\r\0", 4)) == std::string::npos;
}

std::string Hex(const unsigned char* bytes, unsigned length) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0f];
    }
    return text;
}

struct TDigestFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using TDigest = std::unique_ptr<EVP_MD_CTX, TDigestFree>;

TDigest NewSha256() {
    TDigest context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw TError("SHA-256 is not available");
    return context;
}

std::string Finish(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1)
        throw TError("SHA-256 is not available");
    return Hex(digest, length);
}

} // namespace

TManifest TManifest::Parse(const std::string& text) {
    if (text.size() > MaxBytes)
        throw TError("The manifest is too large");
    TManifest manifest;
    std::size_t at = 0;
    int lineNumber = 0;
    auto fail = [&lineNumber](const std::string& what) {
        throw TError("The manifest's line " + std::to_string(lineNumber) + " " + what);
    };
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            ++lineNumber;
            fail("does not end with a line break");
        }
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (lineNumber == 1) {
            if (line != Header)
                fail("is not \"" + std::string(Header) + "\"");
            continue;
        }
        const std::size_t firstBlank = line.find(' ');
        const std::size_t secondBlank =
            firstBlank == std::string::npos ? std::string::npos : line.find(' ', firstBlank + 1);
        if (secondBlank == std::string::npos)
            fail("is not \"hash size name\"");
        const std::string hash = line.substr(0, firstBlank);
        const std::string size = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
        const std::string name = line.substr(secondBlank + 1);
        if (hash.size() != 64 || !IsLowerHex(hash))
            fail("holds no SHA-256");
        if (size.empty() || size.size() > 18 ||
            size.find_first_not_of("0123456789") != std::string::npos)
            fail("holds no size");
        if (!IsPlainName(name))
            fail("holds no plain file name");
        if (!manifest.Files.emplace(name, TManifestEntry{std::stoll(size), hash}).second)
            fail("names " + ControlCharactersShown(name) + " a second time");
    }
    if (lineNumber == 0)
        throw TError("The manifest is empty");
    return manifest;
}

std::string TManifest::Text() const {
    std::string text = Header;
    text += '\n';
    for (const auto& [name, entry] : Files) {
        // A name that Parse refuses would make the whole manifest unreadable; left out, the
        // file only counts as new the next time.
        if (!entry.Known() || !IsPlainName(name))
            continue;
        text += entry.Sha256;
        text += ' ';
        text += std::to_string(entry.Size);
        text += ' ';
        text += name;
        text += '\n';
    }
    return text;
}

std::set<std::string> TManifest::ParsePending(const std::string& text) {
    if (text.size() > MaxBytes)
        throw TError("The list of files under way is too large");
    std::set<std::string> names;
    std::size_t at = 0;
    int lineNumber = 0;
    auto fail = [&lineNumber](const std::string& what) {
        throw TError("The list of files under way: line " + std::to_string(lineNumber) + " " +
                     what);
    };
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        ++lineNumber;
        if (end == std::string::npos)
            fail("does not end with a line break");
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (lineNumber == 1) {
            if (line != PendingHeader)
                fail("is not \"" + std::string(PendingHeader) + "\"");
            continue;
        }
        if (!IsPlainName(line))
            fail("holds no plain file name");
        names.insert(line);
    }
    if (lineNumber == 0)
        throw TError("The list of files under way is empty");
    return names;
}

std::string TManifest::PendingText(const std::set<std::string>& names) {
    std::string text = PendingHeader;
    text += '\n';
    for (const std::string& name : names) {
        // The manifest never lists such a name (Text), so no entry needs it marked.
        if (!IsPlainName(name))
            continue;
        text += name;
        text += '\n';
    }
    return text;
}

void TManifest::MarkUnknown(const std::set<std::string>& names) {
    for (const std::string& name : names)
        Files[name] = TManifestEntry{-1, std::string()};
}

std::set<std::string> TManifest::Unknown() const {
    std::set<std::string> names;
    for (const auto& [name, entry] : Files)
        if (!entry.Known())
            names.insert(name);
    return names;
}

std::string Sha256OfBytes(const std::string& bytes) {
    TDigest context = NewSha256();
    if (EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1)
        throw TError("SHA-256 is not available");
    return Finish(context.get());
}

std::string Sha256OfFile(const std::string& path, std::int64_t* size) {
    // As every file the site is made of: a plain file, never read through a link.
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        throw TError(std::string("Cannot open the file: ") + std::strerror(error), path);
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw TError("Not a plain file", path);
    TDigest context = NewSha256();
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
        EVP_DigestUpdate(context.get(), buffer, static_cast<std::size_t>(n));
        total += n;
    }
    if (size)
        *size = total;
    return Finish(context.get());
}
