// SHA-256 of bytes and of files, and the text that can be a digest.

#include "platform/Sha256.h"
#include "TestSupport.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(Sha256, OfKnownBytesAndFiles) {
    EXPECT_EQ(Sha256OfBytes(""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256OfBytes("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    TTempFolder dir;
    // Larger than one read, so that the pieces are put together.
    const std::string big(200000, 'x');
    WriteFileBytes(dir / "big.bin", big);
    std::int64_t size = -1;
    EXPECT_EQ(Sha256OfFile(dir / "big.bin", &size), Sha256OfBytes(big));
    EXPECT_EQ(size, 200000);
    // Never through a link, never a FIFO or folder.
    std::filesystem::create_symlink(dir / "big.bin", dir / "link.bin");
    EXPECT_THROW(Sha256OfFile(dir / "link.bin"), TError);
    EXPECT_THROW(Sha256OfFile(dir.Path()), TError);
    try {
        Sha256OfFile(dir / "missing.htm");
        ADD_FAILURE() << "a missing file was hashed";
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), dir / "missing.htm");
    }
}

TEST(Sha256, TextOfADigest) {
    const struct {
        std::string Text;
        bool Digest;
    } cases[] = {
        {Sha256OfBytes("abc"), true},        {std::string(64, '0'), true},
        {std::string(63, 'a'), false},       {std::string(65, 'a'), false},
        {std::string(64, 'A'), false},       {std::string(63, 'a') + "g", false},
        {std::string(63, 'a') + "/", false}, {"", false},
    };
    for (const auto& test : cases)
        EXPECT_EQ(IsSha256Text(test.Text), test.Digest) << test.Text;
    // Added in pieces, the digest is that of the whole.
    TSha256 digest;
    digest.Add("a", 1);
    digest.Add("bc", 2);
    EXPECT_EQ(digest.Finish(), Sha256OfBytes("abc"));
}

} // namespace
