#include "platform/FileSystem.h"
#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <cstring>
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

    EXPECT_TRUE(DeleteFileQuietly(dir / "src.bin"));
    EXPECT_FALSE(FileExists(dir / "src.bin"));
    EXPECT_FALSE(DeleteFileQuietly(dir / "src.bin"));
}

TEST(FileSystem, AnAtomicWriteThatFailsKeepsTheOldFileAndLeavesNothingBeside) {
    struct Case {
        const char* what;
        TFileFaults faults;
    } cases[] = {
        {"create", {.FailCreate = 1, .Error = EROFS}}, {"write", {.FailWrite = 1, .Error = ENOSPC}},
        {"fsync", {.FailFsync = 1, .Error = EIO}},     {"close", {.FailClose = 1, .Error = ENOSPC}},
        {"rename", {.FailRename = 1, .Error = EBUSY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        const std::string file = dir / "Column1.Clm";
        WriteFileBytes(file, "old");
        {
            TScopedFileFaults faults(c.faults);
            try {
                WriteFileAtomically(file, "new");
                ADD_FAILURE() << "no error";
            } catch (const TError& e) {
                EXPECT_EQ(e.FileName(), file);
                EXPECT_EQ(e.Message(),
                          std::string("Cannot write the file: ") + std::strerror(c.faults.Error));
            }
        }
        EXPECT_EQ(ReadFileBytes(file), "old");
        EXPECT_EQ(RegularFilesIn(dir.Path()), std::set<std::string>{"Column1.Clm"});
        WriteFileAtomically(file, "new");
        EXPECT_EQ(ReadFileBytes(file), "new");
    }
}

TEST(FileSystem, ACopyThatFailsKeepsTheTargetAndLeavesNothingBeside) {
    struct Case {
        const char* what;
        TFileFaults faults;
    } cases[] = {
        {"create", {.FailCreate = 1, .Error = EACCES}}, {"read", {.FailRead = 2, .Error = EIO}},
        {"write", {.FailWrite = 2, .Error = ENOSPC}},   {"close", {.FailClose = 1, .Error = EIO}},
        {"rename", {.FailRename = 1, .Error = EACCES}},
    };
    // More than one buffer of the copy, so that the second read and write are reached.
    std::string picture(300000, '\0');
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<char>(i * 7);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        WriteFileBytes(dir / "Logo.gif", picture);
        MakeFolder(dir / "HTML");
        WriteFileBytes(dir / "HTML/Logo.gif", "old");
        {
            TScopedFileFaults faults(c.faults);
            EXPECT_FALSE(CopyFileReplacing(dir / "Logo.gif", dir / "HTML/Logo.gif"));
        }
        EXPECT_EQ(ReadFileBytes(dir / "HTML/Logo.gif"), "old");
        EXPECT_EQ(RegularFilesIn(dir / "HTML"), std::set<std::string>{"Logo.gif"});
        EXPECT_TRUE(CopyFileReplacing(dir / "Logo.gif", dir / "HTML/Logo.gif"));
        EXPECT_EQ(ReadFileBytes(dir / "HTML/Logo.gif"), picture);
    }
}

} // namespace

TEST(FileSystem, AFileWrittenAgainKeepsItsModeAndANewOneGetsTheModeAsked) {
    struct Case {
        const char* what;
        int before; // -1: no file there yet
        unsigned newFileMode;
        unsigned after;
    } cases[] = {
        {"owner only kept", 0600, 0666, 0600},      {"group readable kept", 0640, 0600, 0640},
        {"read-only kept", 0444, 0666, 0444},       {"new, owner only asked", -1, 0600, 0600},
        {"new, the umask applies", -1, 0666, 0644},
    };
    const mode_t mask = ::umask(022);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        const std::string file = dir / "Default.Pro";
        if (c.before >= 0) {
            WriteFileBytes(file, "old");
            ASSERT_EQ(::chmod(file.c_str(), static_cast<mode_t>(c.before)), 0);
        }
        WriteFileAtomically(file, "new", c.newFileMode);
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.after);
        EXPECT_EQ(ReadFileBytes(file), "new");
    }
    ::umask(mask);
}

TEST(FileSystem, TemporaryFilesAreNeverOpenedThroughWhatIsThereAlready) {
    // Links planted under the temporary names that the next writes pick (the counter is the
    // process's; this program writes far fewer files than that): none is followed.
    TTempFolder dir;
    const std::string outside = dir / "outside";
    WriteFileBytes(outside, "untouched");
    std::vector<std::string> planted;
    for (const char* target : {"Default.Pro", "copy.Pro"})
        for (int n = 0; n < 2000; ++n) {
            planted.push_back(std::string(target) + ".~" + std::to_string(::getpid()) + "_" +
                              std::to_string(n));
            std::filesystem::create_symlink(outside, dir / planted.back());
        }
    const std::string file = dir / "Default.Pro";
    WriteFileAtomically(file, "second");
    EXPECT_TRUE(CopyFileReplacing(file, dir / "copy.Pro"));
    EXPECT_EQ(ReadFileBytes(outside), "untouched");
    EXPECT_EQ(ReadFileBytes(file), "second");
    EXPECT_EQ(ReadFileBytes(dir / "copy.Pro"), "second");
    for (const std::string& name : planted)
        EXPECT_TRUE(std::filesystem::is_symlink(dir / name)) << name;
}
