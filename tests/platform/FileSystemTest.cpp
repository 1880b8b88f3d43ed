#include "platform/FileSystem.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(FileSystem, NameParts) {
    struct Case {
        const char* in;
        const char* file;
        const char* ext;
        const char* without;
    } cases[] = {
        {"Logo.gif", "Logo.gif", ".gif", "Logo"},
        {"../../secret", "secret", "", "../../secret"},
        {"C:\\x\\pic.JPG", "pic.JPG", ".JPG", "C:\\x\\pic"},
        {"a:b.c", "b.c", ".c", "a:b"},
        {"dir.d/name", "name", "", "dir.d/name"},
        {"Shop.tar.old", "Shop.tar.old", ".old", "Shop.tar"},
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FileNamePart(c.in), c.file) << c.in;
        EXPECT_EQ(FileExtension(c.in), c.ext) << c.in;
        EXPECT_EQ(WithoutExtension(c.in), c.without) << c.in;
    }
    EXPECT_EQ(FolderPart("/a/b/c.Tmp"), "/a/b/");
    EXPECT_EQ(FolderPart("c.Tmp"), "");
}

TEST(FileSystem, FoldersFilesAndCopies) {
    TTempFolder dir;
    EXPECT_TRUE(MakeFolder(dir / "sub"));
    EXPECT_FALSE(MakeFolder(dir / "sub"));
    EXPECT_TRUE(FolderExists(dir / "sub"));
    EXPECT_FALSE(FileExists(dir / "sub"));
    std::string bytes("a\0b\r\n\xFF", 6);
    WriteFileBytes(dir / "src.bin", bytes);
    EXPECT_TRUE(CopyFileReplacing(dir / "src.bin", dir / "sub/dst.bin"));
    EXPECT_EQ(ReadFileBytes(dir / "sub/dst.bin"), bytes);
    WriteFileBytes(dir / "src.bin", "new");
    EXPECT_TRUE(CopyFileReplacing(dir / "src.bin", dir / "sub/dst.bin"));
    EXPECT_EQ(ReadFileBytes(dir / "sub/dst.bin"), "new");
    EXPECT_FALSE(CopyFileReplacing(dir / "missing", dir / "sub/x"));
    EXPECT_FALSE(CopyFileReplacing(dir / "sub", dir / "x"));
    EXPECT_FALSE(FileExists(dir / "sub/x"));
    EXPECT_EQ(FileSize(dir / "src.bin"), 3);

    auto entries = ListFolder(dir.Path());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Name, "src.bin");
    EXPECT_TRUE(entries[0].IsRegular);
    EXPECT_EQ(entries[0].Size, 3);
    EXPECT_TRUE(entries[1].IsFolder);

    DeleteFilesInFolder(dir.Path());
    EXPECT_FALSE(FileExists(dir / "src.bin"));
    EXPECT_TRUE(FileExists(dir / "sub/dst.bin"));
    EXPECT_FALSE(DeleteFileQuietly(dir / "src.bin"));
}

} // namespace
