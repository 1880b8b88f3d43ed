#include "ArchiveSupport.h"
#include "TestSupport.h"

#include "model/CProject.h"
#include "model/ProjectArchive.h"
#include "platform/Error.h"
#include "platform/FileFaults.h"
#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Whether call throws a TError whose message holds each of words (and is no longer than a
// message should be).
::testing::AssertionResult Refused(const std::function<void()>& call,
                                   const std::vector<std::string>& words) {
    try {
        call();
    } catch (const TError& e) {
        const std::string what = e.what();
        for (const std::string& word : words)
            if (what.find(word) == std::string::npos)
                return ::testing::AssertionFailure() << "\"" << what << "\" lacks " << word;
        if (what.size() >= 1000)
            return ::testing::AssertionFailure() << "too long: " << what;
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "nothing refused";
}

const std::string Sample = SourceFolder() + "/examples/Sample";

// A copy of the bundled sample project, with what an export leaves behind added: the
// preview, the built site and the earlier versions.
std::string CopySample(const TTempFolder& temp, const std::string& name) {
    std::string folder = temp / name;
    fs::copy(Sample, folder, fs::copy_options::recursive);
    for (const char* sub : {"Temp", "HTML", ".history", ".history/objects"})
        fs::create_directory(folder + "/" + sub);
    WriteFileBytes(folder + "/Temp/Index.htm", "preview");
    WriteFileBytes(folder + "/HTML/Index.htm", "site");
    WriteFileBytes(folder + "/.history/objects/abc", "earlier");
    return folder;
}

std::string ProjectBytes(const std::string& folder, const std::string& password) {
    TXmlDocument document;
    TDProject project(folder, document);
    project.PUBLISH.PASSWORD = password;
    project.Save();
    return ReadFileBytes(folder + "/Default.Pro");
}

TEST(ProjectArchiveTest, RoundTripGivesTheProjectBackWithoutPasswordTempHtmlOrHistory) {
    TTempFolder temp;
    const std::string original = CopySample(temp, "Sample");
    const std::string withoutPassword = ProjectBytes(original, "");
    ProjectBytes(original, "s3cret pass");
    // What an archive cannot hold is left out and named.
    fs::create_symlink("/etc/passwd", original + "/Images/Link.gif");
    fs::create_directory(original + "/Images/Old");
    WriteFileBytes(original + "/Images/Old/Old.gif", "old");
    WriteFileBytes(original + "/Images/Caf\xe9.gif", "Latin-1");
    WriteFileBytes(original + "/Images/Caf\xc3\xa9 \xe2\x82\xac.gif", "UTF-8");
    WriteFileBytes(original + "/Old\x9b.Clm", ReadFileBytes(original + "/Column1.Clm"));

    const TArchiveSummary exported = ExportProject(original, temp / "Sample.corvane", false);
    EXPECT_EQ(exported.Files, 21);
    EXPECT_EQ(exported.LeftOut, (std::vector<std::string>{
                                    "Old\x9b.Clm (a name an archive cannot hold)",
                                    "Images/Caf\xe9.gif (a name an archive cannot hold)",
                                    "Images/Link.gif (a symbolic link)", "Images/Old (a folder)"}));
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"Sample", "Sample.corvane"}));
    const std::vector<TReadEntry> entries = ReadRawZip(temp / "Sample.corvane");
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().Name, "corvane-archive.txt");
    for (const TReadEntry& entry : entries)
        EXPECT_EQ(entry.Bytes.find("s3cret"), std::string::npos) << entry.Name;

    const TArchiveSummary imported =
        ImportProject(temp / "Sample.corvane", temp / "Imported", TArchiveLimits{});
    EXPECT_EQ(imported.Files, 21);
    EXPECT_EQ(imported.Bytes, exported.Bytes);
    std::map<std::string, std::string> expected = FilesBelow(Sample);
    expected["Default.Pro"] = withoutPassword;
    expected["Images/Caf\xc3\xa9 \xe2\x82\xac.gif"] = "UTF-8";
    EXPECT_EQ(FilesBelow(temp / "Imported"), expected);
    EXPECT_EQ(NamesIn(temp / "Imported"),
              (std::set<std::string>{"Default.Pro", "Column1.Clm", "Column2.Clm", "Column3.Clm",
                                     "Column4.Clm", "Column5.Clm", "Images", "Downloads"}));
    EXPECT_EQ(fs::status(temp / "Imported/Default.Pro").permissions() & fs::perms::group_read,
              fs::perms::none);
    EXPECT_EQ(NamesIn(temp.Path()),
              (std::set<std::string>{"Sample", "Sample.corvane", "Imported"}));
    // The project itself keeps its password.
    EXPECT_NE(ReadFileBytes(original + "/Default.Pro").find("s3cret pass"), std::string::npos);
}

TEST(ProjectArchiveTest, NoPasswordNorFileFromElsewhereTravels) {
    TTempFolder temp;
    fs::create_directories(temp / "P/Images");
    fs::create_directories(temp / "Elsewhere");
    WriteFileBytes(temp / "Elsewhere/Notes.txt", "fourth");
    fs::create_directory_symlink(temp / "Elsewhere", temp / "P/Downloads");
    WriteFileBytes(temp / "P/Default.Pro",
                   std::string(XmlDeclaration) +
                       "<PROJECT><MENULIST/><PUBLISH><PASSWORD>first</PASSWORD>"
                       "<PASSWORD>second</PASSWORD></PUBLISH><PUBLISH><PASSWORD>third<!-- x -->"
                       "</PASSWORD></PUBLISH></PROJECT>");
    const TArchiveSummary summary = ExportProject(temp / "P", temp / "a.corvane", false);
    EXPECT_EQ(summary.LeftOut, std::vector<std::string>{"Downloads (a symbolic link)"});
    const std::vector<TReadEntry> entries = ReadRawZip(temp / "a.corvane");
    ASSERT_EQ(entries.size(), 2u);
    for (const char* secret : {"first", "second", "third", "fourth"})
        EXPECT_EQ(entries[1].Bytes.find(secret), std::string::npos) << entries[1].Bytes;
}

TEST(ProjectArchiveTest, ArchiveOfTheUntouchedSampleKeepsItsDocumentsByteForByte) {
    TTempFolder temp;
    ExportProject(Sample, temp / "a.corvane", false);
    ImportProject(temp / "a.corvane", temp / "b");
    EXPECT_EQ(FilesBelow(temp / "b"), FilesBelow(Sample));
    // Names as long as a file's name may be, the temporary ones beside them included.
    const std::string longest(255 - std::string(".corvane").size(), 'n');
    ExportProject(Sample, temp / (longest + ".corvane"), false);
    ImportProject(temp / (longest + ".corvane"), temp / longest);
    EXPECT_EQ(FilesBelow(temp / longest), FilesBelow(temp / "b"));
    EXPECT_EQ(ArchiveProjectName(temp / "a.corvane"), "a");
    EXPECT_EQ(ArchiveProjectName("/x/My Site.corvane"), "My Site");
    EXPECT_EQ(ArchiveProjectName("site.zip"), "site.zip");
}

TEST(ProjectArchiveTest, ImportNeverWritesOverAFolderOrFileThere) {
    TTempFolder temp;
    ExportProject(Sample, temp / "a.corvane", false);
    fs::create_directory(temp / "Folder");
    WriteFileBytes(temp / "File", "mine");
    for (const char* name : {"Folder", "File"})
        EXPECT_TRUE(Refused([&] { ImportProject(temp / "a.corvane", temp / name); },
                            {"The folder " + (temp / name) + " exists already."}));
    EXPECT_TRUE(fs::is_empty(temp / "Folder"));
    EXPECT_EQ(ReadFileBytes(temp / "File"), "mine");
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane", "Folder", "File"}));
}

TEST(ProjectArchiveTest, ExportReplacesAnArchiveOnlyWhenAsked) {
    TTempFolder temp;
    WriteFileBytes(temp / "a.corvane", "old");
    EXPECT_TRUE(Refused([&] { ExportProject(Sample, temp / "a.corvane", false); },
                        {"The file " + (temp / "a.corvane") + " exists already."}));
    EXPECT_EQ(ReadFileBytes(temp / "a.corvane"), "old");
    ExportProject(Sample, temp / "a.corvane", true);
    EXPECT_EQ(ReadRawZip(temp / "a.corvane").size(), 21u);
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
    // Never one of the project's own files, whatever it is called.
    const std::string copy = CopySample(temp, "P");
    fs::create_hard_link(copy + "/Images/Logo.gif", temp / "Logo.corvane");
    for (const std::string& own :
         {copy + "/Default.Pro", copy + "/Images/Forest.jpg", temp / "Logo.corvane"}) {
        const std::string before = ReadFileBytes(own);
        EXPECT_TRUE(Refused([&] { ExportProject(copy, own, true); },
                            {"would replace the project's own file"}));
        EXPECT_EQ(ReadFileBytes(own), before) << own;
    }
}

TEST(ProjectArchiveTest, ExportRefusesADamagedOrMissingDocumentAndLeavesNothing) {
    // A column that the import would refuse: unreadable, gone, or of a name no archive holds.
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> cases = {
        {"Column3.Clm", [](auto& f) { WriteFileBytes(f + "/Column3.Clm", "<COLUMN><PAGE>"); }},
        {"\"Column3.Clm\" is missing", [](auto& f) { fs::remove(f + "/Column3.Clm"); }},
        {"\"Column3?.Clm\" is missing",
         [](auto& f) {
             fs::rename(f + "/Column3.Clm", f + "/Column3\xc2\x85.Clm");
             std::string pro = ReadFileBytes(f + "/Default.Pro");
             pro.replace(pro.find("Column3.Clm"), 11, "Column3\xc2\x85.Clm");
             WriteFileBytes(f + "/Default.Pro", pro);
         }},
    };
    for (const auto& [expected, spoil] : cases) {
        TTempFolder temp;
        const std::string folder = CopySample(temp, "P");
        spoil(folder);
        EXPECT_TRUE(Refused([&] { ExportProject(folder, temp / "a.corvane", false); }, {expected}));
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"P"}));
    }
}

TEST(ProjectArchiveTest, CancelledOrFailedWorkStopsAndLeavesNothing) {
    TTempFolder temp;
    const std::atomic<bool> cancelled{true};
    EXPECT_TRUE(Refused([&] { ExportProject(Sample, temp / "b.corvane", false, {}, &cancelled); },
                        {"The export was cancelled (" + (temp / "b.corvane") + ")"}));
    TFileFaults faults;
    faults.FailWrite = 2;
    {
        TScopedFileFaults scoped(faults);
        EXPECT_TRUE(Refused([&] { ExportProject(Sample, temp / "a.corvane", false); }, {}));
    }
    EXPECT_TRUE(fs::is_empty(temp.Path()));
    ExportProject(Sample, temp / "a.corvane", false);
    EXPECT_TRUE(Refused([&] { ImportProject(temp / "a.corvane", temp / "b", {}, &cancelled); },
                        {"The import was cancelled (" + (temp / "a.corvane") + ")"}));
    for (int write : {1, 5, 20}) {
        faults.FailWrite = write;
        TScopedFileFaults scoped(faults);
        EXPECT_TRUE(
            Refused([&] { ImportProject(temp / "a.corvane", temp / "b"); }, {"cannot be written"}))
            << write;
    }
    faults.FailWrite = 0;
    faults.FailRead = 3;
    {
        TScopedFileFaults scoped(faults);
        EXPECT_TRUE(Refused([&] { ImportProject(temp / "a.corvane", temp / "b"); }, {}));
    }
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
}

// A small good archive's entries, which each case below spoils.
std::vector<TRawEntry> GoodEntries() {
    return {
        {"Default.Pro", std::string(XmlDeclaration) + "<PROJECT><MENULIST/></PROJECT>"},
        {"Column1.Clm",
         std::string(XmlDeclaration) + "<COLUMN><PAGE><TITLE>A</TITLE></PAGE></COLUMN>"},
        {"Images/Logo.gif", "GIF89a picture"},
        {"Downloads/Form.txt", "a form"},
    };
}

using TEntries = std::vector<TRawEntry>;
using K = TRawEntry::TKind;

// Where a case's added entry goes: among the entries only, in the list too, or only in the
// list.
enum TAdded { Unlisted, Listed, OnlyListed };

struct THostileCase {
    const char* Name;
    TRawEntry Added; // added to the good entries, unless its name is empty
    TAdded Where;
    std::string Reason;     // what the error must say
    std::string Entry = {}; // and name; the added entry's name when empty
    // Changes the entries and the list the archive is written with.
    std::function<void(TEntries& entries, std::string& list)> Spoil = nullptr;
    bool Store = false;
    std::size_t ListAt = 0; // where the list goes among the entries
};

// The project document naming one column.
std::string ProjectNaming(const std::string& column) {
    return std::string(XmlDeclaration) + "<PROJECT><MENULIST><MENUITEM><COLUMN>" + column +
           "</COLUMN></MENUITEM></MENULIST></PROJECT>";
}

const std::vector<THostileCase>& HostileCases() {
    const TRawEntry none{"", ""};
    const std::string csi = "\xc2\x9b"; // U+009B, a terminal's CSI: shown as "?"
    const std::string outside = "outside Images and Downloads";
    const std::string leadsOut = "leads out of the project";
    static const std::vector<THostileCase> cases = {
        {"dot-dot", {"../evil.txt", "x"}, Unlisted, leadsOut},
        {"dot-dot inside", {"Images/../../evil", "x"}, Unlisted, leadsOut},
        {"absolute", {"/tmp/evil.gif", "x"}, Unlisted, "absolute"},
        {"symbolic link",
         {"Images/Link.gif", "", K::Symlink, "/etc/passwd"},
         Listed,
         "symbolic link"},
        // The zip format has no hard links: what libarchive writes for one is an empty file
        // where the list expects the bytes of the file linked to.
        {"hard link", none, Unlisted, "bytes", "\"Images/Hard.gif\"",
         [](auto& e, auto& l) {
             TRawEntry entry{"Images/Hard.gif", "GIF89a picture", K::Hardlink, "Images/Logo.gif"};
             l += ListOf({entry}).substr(std::string("corvane-archive 1\n").size());
             entry.Bytes.clear();
             entry.Announced = 0;
             e.push_back(entry);
         }},
        // libarchive turns the backslashes of a zip entry's name into slashes: what the
        // import sees is a name that leads out.
        {"backslash", {"Images\\..\\..\\evil.gif", "x"}, Unlisted, "is refused", "evil.gif\""},
        {"wrong digest", none, Unlisted, "does not match its SHA-256", "\"Images/Logo.gif\"",
         [](auto& e, auto&) { e[2].Bytes = "GIF89a pictur!"; }},
        {"longer than listed", none, Unlisted, "header gives 18 bytes, the list 14",
         "\"Images/Logo.gif\"", [](auto& e, auto&) { e[2].Bytes += "more"; }},
        // assign(): for `= "a"` here, g++ 12 at -O3 warns of an overlapping copy that is not.
        {"shorter than listed, stored", none, Unlisted, "header gives 1 bytes, the list 6",
         "\"Downloads/Form.txt\"", [](auto& e, auto&) { e[3].Bytes.assign(1, 'a'); }, true},
        {"not listed", {"Images/Extra.gif", "x"}, Unlisted, "not in the archive's list"},
        {"listed, missing", {"Downloads/Gone.txt", "gone"}, OnlyListed, "lacks the entry"},
        {"control in the list",
         {"Images/a" + csi + "2Jb.gif", "x"},
         OnlyListed,
         "control character",
         "\"Images/a?2Jb.gif\""},
        {"control in the name",
         {"Images/a" + csi + "2J.gif", "x"},
         Listed,
         "control character",
         "\"Images/a?2J.gif\""},
        {"twice", none, Unlisted, "in the archive twice", "\"Images/Logo.gif\"",
         [](auto& e, auto&) { e.push_back(e[2]); }},
        {"column named, missing", none, Unlisted, "which the archive lacks", "\"Column9.Clm\"",
         [](auto& e, auto& l) {
             e[0].Bytes = ProjectNaming("sub/Column9.Clm");
             l = ListOf(e);
         }},
        {"project document as a column", none, Unlisted, "which the archive lacks",
         "column document \"Default.Pro\"",
         [](auto& e, auto& l) {
             e[0].Bytes = ProjectNaming("Default.Pro");
             l = ListOf(e);
         }},
        {"ten gigabytes announced",
         {"Downloads/Big.bin", "small"},
         Listed,
         "header gives 10000000000 bytes, the list 5",
         "",
         [](auto& e, auto&) { e.back().Announced = std::int64_t{10} * 1000 * 1000 * 1000; },
         true},
        {"ten gigabytes listed",
         {"Downloads/Big.bin", "small"},
         Unlisted,
         "larger than a project archive may be",
         "",
         [](auto&, auto& l) {
             l += "10000000000 " + Sha256OfBytes("small") + " Downloads/Big.bin\n";
         }},
        {"broken column document",
         {"Column2.Clm", std::string(XmlDeclaration) + "<COLUMN><PAGE>"},
         Listed,
         "cannot be read as a column document"},
        {"broken project document", none, Unlisted, "cannot be read as a project document",
         "\"Default.Pro\"",
         [](auto& e, auto& l) {
             e[0].Bytes = "not XML";
             l = ListOf(e);
         }},
        {"folder entry", {"Images/Sub", "", K::Folder}, Unlisted, "folder", "\"Images/Sub"},
        {"sub-folder", {"Images/Sub/a.gif", "x"}, Listed, "sub-folder"},
        {"outside the folders", {"Temp/Index.htm", "x"}, Listed, outside},
        {"history", {".history/objects/a", "x"}, Unlisted, outside},
        {"hidden file", {"Images/.hidden", "x"}, Unlisted, "hidden"},
        {"no document", {"notes.txt", "x"}, Unlisted, "no document of a project"},
        {"list not first", none, Unlisted, "does not begin with its list", "\"Default.Pro\"",
         nullptr, false, 1},
        {"list of another version", none, Unlisted, "newer program", "corvane-archive 1",
         [](auto&, auto& l) { l.replace(0, l.find('\n'), "corvane-archive 2"); }},
        {"list without project document", none, Unlisted, "no project document", "Default.Pro",
         [](auto& e, auto& l) {
             e.erase(e.begin());
             l = ListOf(e);
         }},
        {"list line broken", none, Unlisted, "no SHA-256", "\"Images/x.gif\"",
         [](auto&, auto& l) { l += "12 nodigest Images/x.gif\n"; }},
        {"list line of 200 kB", none, Unlisted, "not \"SIZE SHA-256 NAME\"", "\"xxx",
         [](auto&, auto& l) { l += std::string(200000, 'x') + "\n"; }},
    };
    return cases;
}

TEST(ProjectArchiveTest, HostileArchivesAreRefusedNamingTheEntryAndLeaveNothing) {
    for (const THostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        TEntries entries = GoodEntries();
        std::string list = ListOf(entries);
        if (!c.Added.Name.empty() && c.Where != OnlyListed)
            entries.push_back(c.Added);
        if (!c.Added.Name.empty() && c.Where != Unlisted)
            list += ListOf({c.Added}).substr(std::string("corvane-archive 1\n").size());
        if (c.Spoil)
            c.Spoil(entries, list);
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(c.ListAt),
                       TRawEntry{"corvane-archive.txt", list});
        WriteRawZip(temp / "a.corvane", entries, c.Store);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(Refused([&] { ImportProject(temp / "a.corvane", temp / "Project"); },
                            {c.Entry.empty() ? "\"" + c.Added.Name + "\"" : c.Entry, c.Reason,
                             temp / "a.corvane"}));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
    }
}

TEST(ProjectArchiveTest, TheGoodArchiveOfTheHostileCasesImports) {
    TTempFolder temp;
    TEntries entries = GoodEntries();
    entries.insert(entries.begin(), TRawEntry{"corvane-archive.txt", ListOf(entries)});
    for (bool store : {false, true}) {
        WriteRawZip(temp / "a.corvane", entries, store);
        const std::string target = temp / (store ? "Stored" : "Deflated");
        EXPECT_EQ(ImportProject(temp / "a.corvane", target).Files, 4);
        EXPECT_EQ(ReadFileBytes(target + "/Images/Logo.gif"), "GIF89a picture");
    }
}

TEST(ProjectArchiveTest, WhatIsNoArchiveOrIsCutShortIsRefused) {
    TTempFolder temp;
    ExportProject(Sample, temp / "good.corvane", false);
    const std::string good = ReadFileBytes(temp / "good.corvane");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "no project archive"},   {"PK\x03\x04 this is no zip at all", ""},
        {std::string(1000, 'x'), ""}, {good.substr(0, good.size() / 2), ""},
        {good.substr(0, 100), ""},
    };
    for (const auto& [bytes, reason] : cases) {
        WriteFileBytes(temp / "bad.corvane", bytes);
        EXPECT_TRUE(Refused([&] { ImportProject(temp / "bad.corvane", temp / "Project"); },
                            {temp / "bad.corvane", reason}))
            << bytes.size();
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"good.corvane", "bad.corvane"}));
    }
    ::mkfifo((temp / "fifo.corvane").c_str(), 0600);
    EXPECT_THROW(ImportProject(temp / "fifo.corvane", temp / "Project"), TError);
    EXPECT_THROW(ImportProject(temp / "missing.corvane", temp / "Project"), TError);
    EXPECT_FALSE(PathExists(temp / "Project"));
}

TEST(ProjectArchiveTest, TheTotalIsCountedAgainstTheLimit) {
    TTempFolder temp;
    ExportProject(Sample, temp / "a.corvane", false);
    // Nor does an export write more bytes, more files, or a longer list, than an import takes.
    TArchiveLimits small, fewFiles, shortList;
    small.TotalBytes = 1000;
    fewFiles.Entries = 19;
    shortList.ListBytes = 1000;
    EXPECT_TRUE(Refused([&] { ImportProject(temp / "a.corvane", temp / "b", small); },
                        {"larger than a project archive may be (1000 bytes)"}));
    EXPECT_TRUE(Refused([&] { ExportProject(Sample, temp / "c.corvane", false, small); }, {}));
    for (const TArchiveLimits& few : {fewFiles, shortList})
        EXPECT_TRUE(Refused([&] { ExportProject(Sample, temp / "c.corvane", false, few); },
                            {"more files than a project archive may hold"}));
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
}

} // namespace
