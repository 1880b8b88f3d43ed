// corvane-cli export and import: the sample project there and back, and what is refused.

#include "CliRun.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ArchiveCommandTest : public ::testing::Test {
  protected:
    ArchiveCommandTest() {
        fs::copy(SourceFolder() + "/examples/Sample", Project, fs::copy_options::recursive);
        fs::create_directory(Project + "/HTML");
        WriteFileBytes(Project + "/HTML/Index.htm", "built");
        fs::create_directory(Work.Path() + "/Out");
    }
    TCliRun Run(const std::vector<std::string>& args) { return RunCorvaneCli(Scratch, args); }

    TTempFolder Scratch, Work;
    const std::string Project = Work / "Sample";
    const std::string Archive = Work / "Out/Sample.corvane";
};

TEST_F(ArchiveCommandTest, ExportAndImportGiveTheProjectBack) {
    TCliRun run = Run({"export", Project, Archive});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Exported 20 files, 233,467 bytes into " + Archive + "\n");
    EXPECT_EQ(run.Err, "");

    run = Run({"import", Archive, Work / "Out/Copy"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "Imported 20 files, 233,467 bytes into " + (Work / "Out/Copy") + "\n");
    EXPECT_EQ(FilesBelow(Work / "Out/Copy"), FilesBelow(SourceFolder() + "/examples/Sample"));

    // Without a folder the project goes beside, into the current folder, under the
    // archive's name.
    const std::string command = "cd " + ShellQuoted(Work / "Out") + " && timeout 60 " +
                                ShellQuoted(CorvaneCliPath()) +
                                " import Sample.corvane >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(FilesBelow(Work / "Out/Sample"), FilesBelow(SourceFolder() + "/examples/Sample"));
}

TEST_F(ArchiveCommandTest, ANameLeftOutIsShownWithoutItsControls) {
    // A link named with CSI (U+009B) and a stray byte of another charset: both shown as "?".
    fs::create_symlink("Forest.jpg", Project + "/Images/a\xC2\x9B"
                                               "2J\x9B.jpg");
    TCliRun run = Run({"export", Project, Archive});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("Left out: Images/a?2J?.jpg (a symbolic link)\n"), std::string::npos)
        << run.Out;
}

TEST_F(ArchiveCommandTest, NothingIsWrittenOverWhatIsThere) {
    WriteFileBytes(Archive, "mine");
    TCliRun run = Run({"export", Project, Archive});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "corvane-cli: The file " + Archive + " exists already.\n");
    EXPECT_EQ(ReadFileBytes(Archive), "mine");
    run = Run({"export", "--force", Project, Archive});
    EXPECT_EQ(run.Status, 0) << run.Err;

    run = Run({"import", Archive, Project});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "corvane-cli: The folder " + Project + " exists already.\n");
    EXPECT_EQ(run.Out, "");
}

TEST_F(ArchiveCommandTest, ADamagedArchiveIsRefusedAndLeavesNothing) {
    ASSERT_EQ(Run({"export", Project, Archive}).Status, 0);
    std::string bytes = ReadFileBytes(Archive);
    // A byte of a picture's data, changed.
    const std::size_t entry = bytes.find("Images/Forest.jpg");
    ASSERT_NE(entry, std::string::npos);
    bytes[entry + 200] = static_cast<char>(bytes[entry + 200] ^ 0x55);
    WriteFileBytes(Archive, bytes);

    TCliRun run = Run({"import", Archive, Work / "Out/Copy"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err.rfind("corvane-cli: The archive entry \"Images/Forest.jpg\" is ", 0), 0u)
        << run.Err;
    EXPECT_NE(run.Err.find(Archive), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(FilesBelow(Work / "Out").size(), 1u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Work / "Out"), fs::directory_iterator()), 1);
}

TEST_F(ArchiveCommandTest, ExportNeedsAProjectFolder) {
    TCliRun run = Run({"export", Work / "Out", Archive});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("holds no project document"), std::string::npos) << run.Err;
    EXPECT_FALSE(PathExists(Archive));
}

} // namespace
