#include "publish/git/GitPack.h"

#include "platform/Error.h"

#include <git2.h>
#include <git2/sys/odb_backend.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::string GitMessage() {
    const git_error* error = git_error_last();
    return error && error->message ? error->message : "unknown error";
}

// An object's entry: its type and size (4 bits, then 7 at a time), then its bytes deflated.
void AppendEntry(std::string& pack, git_object_t type, const void* data, std::size_t size) {
    std::size_t left = size >> 4;
    unsigned char byte =
        static_cast<unsigned char>((static_cast<unsigned>(type) << 4) | (size & 15));
    while (left > 0) {
        pack.push_back(static_cast<char>(byte | 0x80));
        byte = static_cast<unsigned char>(left & 0x7f);
        left >>= 7;
    }
    pack.push_back(static_cast<char>(byte));
    uLongf length = compressBound(static_cast<uLong>(size));
    const std::size_t at = pack.size();
    pack.resize(at + length);
    if (compress2(reinterpret_cast<Bytef*>(pack.data() + at), &length,
                  static_cast<const Bytef*>(data), static_cast<uLong>(size), 1) != Z_OK)
        throw TError("An object of the publish cannot be compressed");
    pack.resize(at + length);
}

void AppendNumber(std::string& pack, std::uint32_t number) {
    for (int shift = 24; shift >= 0; shift -= 8)
        pack.push_back(static_cast<char>((number >> shift) & 0xff));
}

} // namespace

void KeepObjectsInPack(git_repository* repository, std::vector<git_oid> ids) {
    std::sort(ids.begin(), ids.end(),
              [](const git_oid& a, const git_oid& b) { return git_oid_cmp(&a, &b) < 0; });
    ids.erase(std::unique(ids.begin(), ids.end(),
                          [](const git_oid& a, const git_oid& b) { return git_oid_equal(&a, &b); }),
              ids.end());
    if (ids.empty())
        return;
    git_odb* odb = nullptr;
    if (git_repository_odb(&odb, repository) < 0)
        throw TError("The local repository cannot be read: " + GitMessage());
    std::string pack = "PACK";
    AppendNumber(pack, 2);
    AppendNumber(pack, static_cast<std::uint32_t>(ids.size()));
    for (const git_oid& id : ids) {
        git_odb_object* object = nullptr;
        if (git_odb_read(&object, odb, &id) < 0) {
            git_odb_free(odb);
            throw TError("An object of the publish cannot be read: " + GitMessage());
        }
        AppendEntry(pack, git_odb_object_type(object), git_odb_object_data(object),
                    git_odb_object_size(object));
        git_odb_object_free(object);
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(pack.data(), pack.size(), digest, &length, EVP_sha1(), nullptr);
    pack.append(reinterpret_cast<const char*>(digest), length);

    git_odb_writepack* writer = nullptr;
    git_indexer_progress progress{};
    const bool kept = git_odb_write_pack(&writer, odb, nullptr, nullptr) == 0 &&
                      writer->append(writer, pack.data(), pack.size(), &progress) == 0 &&
                      writer->commit(writer, &progress) == 0;
    const std::string why = kept ? std::string() : GitMessage();
    if (writer)
        writer->free(writer);
    git_odb_free(odb);
    if (!kept)
        throw TError("The publish's objects cannot be kept in the local repository: " + why);
}
