#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// SHA-256 (OpenSSL's libcrypto), given as 64 lower-case hexadecimal digits: the name of a
// file by its content, and the check that the content is still what the name says.
class TSha256 {
  public:
    // Throws TError when the digest is not available.
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Add(const void* bytes, std::size_t size);
    // The digest of everything added; the object is spent afterwards.
    std::string Finish();

  private:
    struct TContext;
    std::unique_ptr<TContext> FContext;
};

// The SHA-256 of bytes in memory.
std::string Sha256OfBytes(const std::string& bytes);
// The SHA-256 of a file's bytes; throws TError naming the file when it cannot be read or is
// not a plain file (never read through a symbolic link). The size read is stored in size
// when given.
std::string Sha256OfFile(const std::string& path, std::int64_t* size = nullptr);
// True for text that can be a digest as these functions give it.
bool IsSha256Text(std::string_view text);
