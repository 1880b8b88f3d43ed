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

// Every file below folder by its path relative to it, with its bytes.
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] =
                ReadFileBytes(entry.path().string());
    return files;
}

std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A copy of the bundled sample project, with what an export leaves behind added: the
// preview, the built site and the earlier versions.
std::string CopySample(const TTempFolder& temp, const std::string& name) {
    std::string folder = temp / name;
    fs::copy(SourceFolder() + "/examples/Sample", folder, fs::copy_options::recursive);
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
    std::map<std::string, std::string> expected = FilesBelow(SourceFolder() + "/examples/Sample");
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
    ExportProject(SourceFolder() + "/examples/Sample", temp / "a.corvane", false);
    ImportProject(temp / "a.corvane", temp / "b");
    EXPECT_EQ(FilesBelow(temp / "b"), FilesBelow(SourceFolder() + "/examples/Sample"));
    // Names as long as a file's name may be, the temporary ones beside them included.
    const std::string longest(255 - std::string(".corvane").size(), 'n');
    ExportProject(SourceFolder() + "/examples/Sample", temp / (longest + ".corvane"), false);
    ImportProject(temp / (longest + ".corvane"), temp / longest);
    EXPECT_EQ(FilesBelow(temp / longest), FilesBelow(temp / "b"));
    EXPECT_EQ(ArchiveProjectName(temp / "a.corvane"), "a");
    EXPECT_EQ(ArchiveProjectName("/x/My Site.corvane"), "My Site");
    EXPECT_EQ(ArchiveProjectName("site.zip"), "site.zip");
}

TEST(ProjectArchiveTest, ImportNeverWritesOverAFolderOrFileThere) {
    TTempFolder temp;
    ExportProject(SourceFolder() + "/examples/Sample", temp / "a.corvane", false);
    fs::create_directory(temp / "Folder");
    WriteFileBytes(temp / "File", "mine");
    for (const char* name : {"Folder", "File"}) {
        try {
            ImportProject(temp / "a.corvane", temp / name);
            ADD_FAILURE() << name;
        } catch (const TError& e) {
            EXPECT_EQ(std::string(e.what()), "The folder " + (temp / name) + " exists already.");
        }
    }
    EXPECT_TRUE(fs::is_empty(temp / "Folder"));
    EXPECT_EQ(ReadFileBytes(temp / "File"), "mine");
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane", "Folder", "File"}));
}

TEST(ProjectArchiveTest, ExportReplacesAnArchiveOnlyWhenAsked) {
    TTempFolder temp;
    const std::string sample = SourceFolder() + "/examples/Sample";
    WriteFileBytes(temp / "a.corvane", "old");
    EXPECT_THROW(
        {
            try {
                ExportProject(sample, temp / "a.corvane", false);
            } catch (const TError& e) {
                EXPECT_EQ(std::string(e.what()),
                          "The file " + (temp / "a.corvane") + " exists already.");
                throw;
            }
        },
        TError);
    EXPECT_EQ(ReadFileBytes(temp / "a.corvane"), "old");
    ExportProject(sample, temp / "a.corvane", true);
    EXPECT_EQ(ReadRawZip(temp / "a.corvane").size(), 21u);
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
    // Never one of the project's own files, whatever it is called.
    const std::string copy = CopySample(temp, "P");
    fs::create_hard_link(copy + "/Images/Logo.gif", temp / "Logo.corvane");
    for (const std::string& own :
         {copy + "/Default.Pro", copy + "/Images/Forest.jpg", temp / "Logo.corvane"}) {
        const std::string before = ReadFileBytes(own);
        try {
            ExportProject(copy, own, true);
            ADD_FAILURE() << own;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find("would replace the project's own file"),
                      std::string::npos)
                << e.what();
        }
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
        try {
            ExportProject(folder, temp / "a.corvane", false);
            ADD_FAILURE() << expected;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"P"}));
    }
}

TEST(ProjectArchiveTest, CancelledWorkStopsAndLeavesNothing) {
    TTempFolder temp;
    const std::string sample = SourceFolder() + "/examples/Sample";
    ExportProject(sample, temp / "a.corvane", false);
    const std::atomic<bool> cancelled{true};
    try {
        ExportProject(sample, temp / "b.corvane", false, {}, &cancelled);
        ADD_FAILURE();
    } catch (const TError& e) {
        EXPECT_EQ(std::string(e.what()), "The export was cancelled (" + (temp / "b.corvane") + ")");
    }
    try {
        ImportProject(temp / "a.corvane", temp / "b", {}, &cancelled);
        ADD_FAILURE();
    } catch (const TError& e) {
        EXPECT_EQ(std::string(e.what()), "The import was cancelled (" + (temp / "a.corvane") + ")");
    }
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
}

TEST(ProjectArchiveTest, FailedWritesLeaveNothingBehind) {
    TTempFolder temp;
    const std::string sample = SourceFolder() + "/examples/Sample";
    {
        TFileFaults faults;
        faults.FailWrite = 2;
        TScopedFileFaults scoped(faults);
        EXPECT_THROW(ExportProject(sample, temp / "a.corvane", false), TError);
    }
    EXPECT_TRUE(fs::is_empty(temp.Path()));
    ExportProject(sample, temp / "a.corvane", false);
    for (int write : {1, 5, 20}) {
        TFileFaults faults;
        faults.FailWrite = write;
        TScopedFileFaults scoped(faults);
        try {
            ImportProject(temp / "a.corvane", temp / "b");
            ADD_FAILURE() << write;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find("cannot be written"), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"})) << write;
    }
    {
        TFileFaults faults;
        faults.FailRead = 3;
        TScopedFileFaults scoped(faults);
        EXPECT_THROW(ImportProject(temp / "a.corvane", temp / "b"), TError);
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

struct THostileCase {
    const char* Name;
    // Changes the entries and the list the archive is written with.
    std::function<void(std::vector<TRawEntry>& entries, std::string& list)> Spoil;
    std::string Entry;  // what the error must name
    std::string Reason; // and say
    bool Store = false;
    std::size_t ListAt = 0; // where the list goes among the entries
};

void Add(std::vector<TRawEntry>& entries, std::string& list, TRawEntry entry, bool listed) {
    if (listed)
        list += ListOf({entry}).substr(std::string("corvane-archive 1\n").size());
    entries.push_back(std::move(entry));
}

const std::vector<THostileCase>& HostileCases() {
    using K = TRawEntry::TKind;
    static const std::vector<THostileCase> cases = {
        {"dot-dot",
         [](auto& e, auto& l) {
             Add(e, l, {"../evil.txt", "x"}, false);
         },
         "\"../evil.txt\"", "leads out of the project"},
        {"dot-dot inside",
         [](auto& e, auto& l) {
             Add(e, l, {"Images/../../evil", "x"}, false);
         },
         "\"Images/../../evil\"", "leads out of the project"},
        {"absolute",
         [](auto& e, auto& l) {
             Add(e, l, {"/tmp/evil.gif", "x"}, false);
         },
         "\"/tmp/evil.gif\"", "absolute"},
        {"symbolic link",
         [](auto& e, auto& l) {
             Add(e, l, {"Images/Link.gif", "", K::Symlink, "/etc/passwd"}, true);
         },
         "\"Images/Link.gif\"", "symbolic link"},
        // The zip format has no hard links: what libarchive writes for one is an empty file
        // where the list expects the bytes of the file linked to.
        {"hard link",
         [](auto& e, auto& l) {
             TRawEntry entry{"Images/Hard.gif", "GIF89a picture", K::Hardlink, "Images/Logo.gif"};
             l += ListOf({entry}).substr(std::string("corvane-archive 1\n").size());
             entry.Bytes.clear();
             entry.Announced = 0;
             e.push_back(entry);
         },
         "\"Images/Hard.gif\"", "bytes"},
        // libarchive turns the backslashes of a zip entry's name into slashes: what the
        // import sees is a name that leads out.
        {"backslash",
         [](auto& e, auto& l) {
             Add(e, l, {"Images\\..\\..\\evil.gif", "x"}, false);
         },
         "evil.gif\"", "is refused"},
        {"wrong digest", [](auto& e, auto&) { e[2].Bytes = "GIF89a pictur!"; },
         "\"Images/Logo.gif\"", "does not match its SHA-256"},
        {"longer than listed", [](auto& e, auto&) { e[2].Bytes += "more"; }, "\"Images/Logo.gif\"",
         "header gives 18 bytes, the list 14"},
        {"shorter than listed, stored", [](auto& e, auto&) { e[3].Bytes = "a"; },
         "\"Downloads/Form.txt\"", "header gives 1 bytes, the list 6", true},
        {"not listed",
         [](auto& e, auto& l) {
             Add(e, l, {"Images/Extra.gif", "x"}, false);
         },
         "\"Images/Extra.gif\"", "not in the archive's list"},
        {"listed, missing",
         [](auto& e, auto& l) {
             std::vector<TRawEntry> gone{{"Downloads/Gone.txt", "gone"}};
             Add(gone, l, gone[0], true);
             (void)e;
         },
         "\"Downloads/Gone.txt\"", "lacks the entry"},
        {"twice", [](auto& e, auto&) { e.push_back(e[2]); }, "\"Images/Logo.gif\"",
         "in the archive twice"},
        // U+009B, a terminal's CSI: refused, and shown as "?".
        {"C1 control",
         [](auto& e, auto& l) {
             Add(e, l,
                 {"Images/a\xc2\x9b"
                  "2J.gif",
                  "x"},
                 true);
         },
         "\"Images/a?2J.gif\"", "control character"},
        {"column named, missing",
         [](auto& e, auto& l) {
             e[0].Bytes = std::string(XmlDeclaration) +
                          "<PROJECT><MENULIST><MENUITEM><COLUMN>sub/Column9.Clm</COLUMN></MENUITEM>"
                          "</MENULIST></PROJECT>";
             l = ListOf(e);
         },
         "\"Column9.Clm\"", "which the archive lacks"},
        {"project document as a column",
         [](auto& e, auto& l) {
             e[0].Bytes = std::string(XmlDeclaration) +
                          "<PROJECT><MENULIST><MENUITEM><COLUMN>Default.Pro</COLUMN></MENUITEM>"
                          "</MENULIST></PROJECT>";
             l = ListOf(e);
         },
         "column document \"Default.Pro\"", "which the archive lacks"},
        {"ten gigabytes announced",
         [](auto& e, auto& l) {
             TRawEntry big{"Downloads/Big.bin", "small"};
             Add(e, l, big, true);
             e.back().Announced = std::int64_t{10} * 1000 * 1000 * 1000;
         },
         "\"Downloads/Big.bin\"", "header gives 10000000000 bytes, the list 5", true},
        {"ten gigabytes listed",
         [](auto& e, auto& l) {
             Add(e, l, {"Downloads/Big.bin", "small"}, false);
             l += "10000000000 " + Sha256OfBytes("small") + " Downloads/Big.bin\n";
         },
         "\"Downloads/Big.bin\"", "larger than a project archive may be"},
        {"broken column document",
         [](auto& e, auto& l) {
             Add(e, l, {"Column2.Clm", std::string(XmlDeclaration) + "<COLUMN><PAGE>"}, true);
         },
         "\"Column2.Clm\"", "cannot be read as a column document"},
        {"broken project document",
         [](auto& e, auto& l) {
             e[0].Bytes = "not XML";
             l = ListOf(e);
         },
         "\"Default.Pro\"", "cannot be read as a project document"},
        {"folder entry",
         [](auto& e, auto& l) {
             Add(e, l, {"Images/Sub", "", K::Folder}, false);
         },
         "\"Images/Sub", "folder"},
        {"sub-folder",
         [](auto& e, auto& l) {
             Add(e, l, {"Images/Sub/a.gif", "x"}, true);
         },
         "\"Images/Sub/a.gif\"", "sub-folder"},
        {"outside the folders",
         [](auto& e, auto& l) {
             Add(e, l, {"Temp/Index.htm", "x"}, true);
         },
         "\"Temp/Index.htm\"", "outside Images and Downloads"},
        {"history",
         [](auto& e, auto& l) {
             Add(e, l, {".history/objects/a", "x"}, false);
         },
         "\".history/objects/a\"", "outside Images and Downloads"},
        {"hidden file",
         [](auto& e, auto& l) {
             Add(e, l, {"Images/.hidden", "x"}, false);
         },
         "\"Images/.hidden\"", "hidden"},
        {"no document",
         [](auto& e, auto& l) {
             Add(e, l, {"notes.txt", "x"}, false);
         },
         "\"notes.txt\"", "no document of a project"},
        {"list not first", [](auto&, auto&) {}, "\"Default.Pro\"", "does not begin with its list",
         false, 1},
        {"list of another version",
         [](auto&, auto& l) { l.replace(0, l.find('\n'), "corvane-archive 2"); },
         "corvane-archive 1", "newer program"},
        {"list without project document",
         [](auto& e, auto& l) {
             e.erase(e.begin());
             l = ListOf(e);
         },
         "Default.Pro", "no project document"},
        {"list line broken", [](auto&, auto& l) { l += "12 nodigest Images/x.gif\n"; },
         "\"Images/x.gif\"", "no SHA-256"},
        {"list line of 200 kB", [](auto&, auto& l) { l += std::string(200000, 'x') + "\n"; },
         "\"xxx", "not \"SIZE SHA-256 NAME\""},
    };
    return cases;
}

TEST(ProjectArchiveTest, HostileArchivesAreRefusedNamingTheEntryAndLeaveNothing) {
    for (const THostileCase& c : HostileCases()) {
        SCOPED_TRACE(c.Name);
        TTempFolder temp;
        std::vector<TRawEntry> entries = GoodEntries();
        std::string list = ListOf(entries);
        c.Spoil(entries, list);
        entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(c.ListAt),
                       TRawEntry{"corvane-archive.txt", list});
        WriteRawZip(temp / "a.corvane", entries, c.Store);
        const auto start = std::chrono::steady_clock::now();
        try {
            ImportProject(temp / "a.corvane", temp / "Project");
            ADD_FAILURE() << "imported";
        } catch (const TError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find(c.Entry), std::string::npos) << what;
            EXPECT_NE(what.find(c.Reason), std::string::npos) << what;
            EXPECT_NE(what.find(temp / "a.corvane"), std::string::npos) << what;
            EXPECT_LT(what.size(), 1000u);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
    }
}

TEST(ProjectArchiveTest, TheGoodArchiveOfTheHostileCasesImports) {
    TTempFolder temp;
    std::vector<TRawEntry> entries = GoodEntries();
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
    ExportProject(SourceFolder() + "/examples/Sample", temp / "good.corvane", false);
    const std::string good = ReadFileBytes(temp / "good.corvane");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "no project archive"},   {"PK\x03\x04 this is no zip at all", ""},
        {std::string(1000, 'x'), ""}, {good.substr(0, good.size() / 2), ""},
        {good.substr(0, 100), ""},
    };
    for (const auto& [bytes, reason] : cases) {
        WriteFileBytes(temp / "bad.corvane", bytes);
        try {
            ImportProject(temp / "bad.corvane", temp / "Project");
            ADD_FAILURE() << bytes.size();
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find(temp / "bad.corvane"), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
        EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"good.corvane", "bad.corvane"}));
    }
    ::mkfifo((temp / "fifo.corvane").c_str(), 0600);
    EXPECT_THROW(ImportProject(temp / "fifo.corvane", temp / "Project"), TError);
    EXPECT_THROW(ImportProject(temp / "missing.corvane", temp / "Project"), TError);
    EXPECT_FALSE(PathExists(temp / "Project"));
}

TEST(ProjectArchiveTest, TheTotalIsCountedAgainstTheLimit) {
    TTempFolder temp;
    ExportProject(SourceFolder() + "/examples/Sample", temp / "a.corvane", false);
    TArchiveLimits limits;
    limits.TotalBytes = 1000;
    try {
        ImportProject(temp / "a.corvane", temp / "b", limits);
        ADD_FAILURE();
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find("larger than a project archive may be (1000 bytes)"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_THROW(
        ExportProject(SourceFolder() + "/examples/Sample", temp / "c.corvane", false, limits),
        TError);
    // Nor does an export write more files, or a longer list, than an import takes.
    TArchiveLimits fewFiles, shortList;
    fewFiles.Entries = 19;
    shortList.ListBytes = 1000;
    for (const TArchiveLimits& few : {fewFiles, shortList}) {
        try {
            ExportProject(SourceFolder() + "/examples/Sample", temp / "c.corvane", false, few);
            ADD_FAILURE() << few.Entries;
        } catch (const TError& e) {
            EXPECT_NE(std::string(e.what()).find("more files than a project archive may hold"),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_EQ(NamesIn(temp.Path()), (std::set<std::string>{"a.corvane"}));
}

} // namespace
