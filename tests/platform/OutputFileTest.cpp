#include "platform/OutputFile.h"
#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

void WriteFile(TOutputFile& out, const std::string& path, const std::string& text) {
    out.Open(path);
    out.Write(text);
    out.Close();
}

TEST(OutputFile, WritesBytesAndCrLfLinesAndReplacesTheFile) {
    TTempFolder dir;
    WriteFileBytes(dir / "p.htm", "old content that is longer");
    TOutputFile out;
    out.Open(dir / "p.htm");
    EXPECT_TRUE(out.IsOpen());
    out.WriteLine("<html>");
    out.Write("a<&>\"\xE4");
    out.WriteLine();
    std::string big(200000, 'x');
    out.Write(big);
    out.Close();
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(ReadFileBytes(dir / "p.htm"), "<html>\r\na<&>\"\xE4\r\n" + big);
    EXPECT_EQ(out.TotalBytes(), 8u + 6u + 2u + big.size());
}

TEST(OutputFile, AFileThatCannotBeCreatedNamesIt) {
    TTempFolder dir;
    TOutputFile out;
    out.Open(dir / "missing/p.htm");
    out.Write("x");
    try {
        out.Close();
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.FileName(), dir / "missing/p.htm");
    }
    EXPECT_FALSE(out.IsOpen());
    WriteFile(out, dir / "p.htm", "y"); // usable afterwards
    EXPECT_EQ(ReadFileBytes(dir / "p.htm"), "y");
}

TEST(OutputFile, AFailedCreateWriteOrCloseNamesTheFileAndTheNextBuildWritesItAgain) {
    struct Case {
        const char* what;
        TFileFaults faults;
        const char* message;
    } cases[] = {
        {"create", {.FailCreate = 1, .Error = EACCES}, "Cannot create the file: "},
        {"write", {.FailWrite = 1, .Error = ENOSPC}, "Cannot write the file: "},
        {"close", {.FailClose = 1, .Error = EIO}, "Cannot write the file: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        const std::string page = dir / "index.htm";
        TOutputFile out;
        WriteFile(out, page, "<p>same</p>");
        EXPECT_EQ(out.FilesWritten(), 1u);
        std::filesystem::remove(page);
        out.Open(page);
        out.Write("<p>same</p>");
        {
            TScopedFileFaults faults(c.faults);
            try {
                out.Close();
                ADD_FAILURE() << "no error";
            } catch (const TError& e) {
                EXPECT_EQ(e.FileName(), page);
                EXPECT_EQ(e.Message(), c.message + std::string(std::strerror(c.faults.Error)));
                EXPECT_NE(std::string(e.what()).find(page), std::string::npos) << e.what();
            }
        }
        EXPECT_FALSE(out.IsOpen());
        EXPECT_EQ(out.FilesWritten(), 1u);
        // Whatever the failed file left on disk is not taken for what was meant to be there.
        WriteFile(out, page, "<p>same</p>");
        EXPECT_EQ(out.FilesWritten(), 2u);
        EXPECT_EQ(ReadFileBytes(page), "<p>same</p>");
    }
}

TEST(OutputFile, UnchangedFilesAreLeftAloneAndEverythingElseIsWritten) {
    TTempFolder dir;
    const std::string a = dir / "a.htm", b = dir / "b.htm";
    TOutputFile out;
    WriteFile(out, a, "same");
    WriteFile(out, b, "first");
    EXPECT_EQ(out.FilesWritten(), 2u);

    struct Step {
        const char* what;
        std::function<void()> meddle; // done to the file between two builds
        const char* text;             // what the second build writes
        bool written;
    } steps[] = {
        {"same bytes", [] {}, "same", false},
        {"other bytes of the same size", [] {}, "SAME", true},
        {"deleted by someone", [&] { std::filesystem::remove(a); }, "SAME", true},
        {"changed by someone, same size",
         [&] {
             WriteFileBytes(a, "ABCD");
             std::filesystem::last_write_time(a, std::filesystem::last_write_time(a) +
                                                     std::chrono::seconds(5));
         },
         "SAME", true},
        {"replaced by a folder's file of another size", [&] { WriteFileBytes(a, "xy"); }, "SAME",
         true},
        {"empty", [] {}, "", true},
        {"empty again", [] {}, "", false},
    };
    for (const Step& step : steps) {
        step.meddle();
        const std::uint64_t before = out.FilesWritten();
        WriteFile(out, a, step.text);
        EXPECT_EQ(out.FilesWritten() - before, step.written ? 1u : 0u) << step.what;
        EXPECT_EQ(ReadFileBytes(a), step.text) << step.what;
    }
    out.ForgetWrittenFiles();
    WriteFile(out, b, "first");
    EXPECT_EQ(out.FilesUnchanged(), 2u);
    EXPECT_EQ(ReadFileBytes(b), "first");
}

TEST(OutputFile, WithAnEncodingEachFileIsConvertedWhenClosedAndCountedAsWritten) {
    TTempFolder dir;
    TOutputFile out;
    EXPECT_EQ(out.Encoding(), "");
    out.SetEncoding("ISO-8859-1");
    EXPECT_EQ(out.Encoding(), "ISO-8859-1");
    out.Open(dir / "a.htm");
    out.Write("Grüße –");
    out.WriteLine(" x");
    out.Close();
    const std::string latin = "Gr\xFC\xDF"
                              "e &#8211; x\r\n";
    EXPECT_EQ(ReadFileBytes(dir / "a.htm"), latin);
    EXPECT_EQ(out.TotalBytes(), latin.size());

    // The same text in the same encoding leaves the file alone; in another it is rewritten.
    WriteFile(out, dir / "a.htm", "Grüße – x\r\n");
    EXPECT_EQ(out.FilesUnchanged(), 1u);
    out.SetEncoding("ISO-2022-JP");
    WriteFile(out, dir / "a.htm", "日");
    EXPECT_EQ(ReadFileBytes(dir / "a.htm"), "\x1B$BF|\x1B(B"); // ends in ASCII
    EXPECT_EQ(out.FilesWritten(), 2u);

    // An encoding the system lacks is refused, and the one set stays.
    EXPECT_THROW(out.SetEncoding("NO-SUCH-CHARSET"), TError);
    EXPECT_EQ(out.Encoding(), "ISO-2022-JP");
    // None: the texts' own bytes.
    out.SetEncoding("");
    WriteFile(out, dir / "b.htm", "Grüße\xFF");
    EXPECT_EQ(ReadFileBytes(dir / "b.htm"), "Grüße\xFF");
    EXPECT_EQ(out.TotalBytes(), latin.size() * 2 + 8 + 8);
}

TEST(OutputFile, AnAbandonedFileLeavesNothingForTheNext) {
    TTempFolder dir;
    TOutputFile out;
    out.SetEncoding("ISO-2022-JP");
    out.Open(dir / "a.htm");
    out.Write("日\xE6");
    out.Abandon();
    WriteFile(out, dir / "a.htm", "a");
    EXPECT_EQ(ReadFileBytes(dir / "a.htm"), "a");
}

} // namespace

namespace {

TEST(OutputFile, AnyEntryWithThePagesNameIsReplacedNeverWrittenThrough) {
    struct Case {
        const char* what;
        std::function<void(const std::string& page, const std::string& outside)> plant;
    } cases[] = {
        {"a link to a file elsewhere",
         [](const std::string& page, const std::string& outside) {
             std::filesystem::create_symlink(outside, page);
         }},
        {"a link to nowhere",
         [](const std::string& page, const std::string& outside) {
             std::filesystem::create_symlink(outside + ".none", page);
         }},
        {"a second name of a file elsewhere",
         [](const std::string& page, const std::string& outside) {
             std::filesystem::create_hard_link(outside, page);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        std::filesystem::create_directory(dir / "HTML");
        const std::string page = dir / "HTML/Index.htm";
        const std::string outside = dir / "outside.txt";
        WriteFileBytes(outside, "not the program's");
        c.plant(page, outside);
        TOutputFile out;
        WriteFile(out, page, "<html>");
        EXPECT_FALSE(std::filesystem::is_symlink(page));
        EXPECT_EQ(ReadFileBytes(page), "<html>");
        EXPECT_EQ(ReadFileBytes(outside), "not the program's");
        EXPECT_FALSE(std::filesystem::exists(outside + ".none"));
        EXPECT_EQ(RegularFilesIn(dir / "HTML"), std::set<std::string>{"Index.htm"});
    }
}

TEST(OutputFile, APageThatCannotBeWrittenIsLeftAsItWasNeverTruncated) {
    struct Case {
        const char* what;
        TFileFaults faults;
    } cases[] = {
        {"write", {.FailWrite = 1, .Error = ENOSPC}},
        {"close", {.FailClose = 1, .Error = EIO}},
        {"rename", {.FailRename = 1, .Error = EIO}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TTempFolder dir;
        const std::string page = dir / "p.htm";
        WriteFileBytes(page, "the page as it was");
        TOutputFile out;
        {
            TScopedFileFaults faults(c.faults);
            out.Open(page);
            out.Write(std::string(1000, 'n'));
            EXPECT_THROW(out.Close(), TError);
        }
        EXPECT_EQ(ReadFileBytes(page), "the page as it was");
        EXPECT_EQ(RegularFilesIn(dir.Path()), std::set<std::string>{"p.htm"});
    }
}

} // namespace
