// The manifest of published files and the plan of a synchronising publish: what is new,
// changed, unchanged or to be deleted, the summary, the delete cap and the manifest written
// after a run.

#include "publish/SyncPlan.h"

#include "TestSupport.h"
#include "platform/Error.h"
#include "platform/Locale.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

using ::testing::HasSubstr;

namespace {

const std::string HashA(64, 'a');
const std::string HashB(64, 'b');
const std::string HashC(64, 'c');

std::string Line(const std::string& hash, const std::string& size, const std::string& name) {
    return hash + " " + size + " " + name + "\n";
}

} // namespace

TEST(Manifest, TextRoundTripsAndNamesMayHoldBlanks) {
    TManifest manifest;
    manifest.Files["Default.htm"] = {1234, HashA};
    manifest.Files["my page.htm"] = {0, HashB};
    manifest.Files["logo.gif"] = {98765432101, HashC};
    const std::string text = manifest.Text();
    EXPECT_EQ(text, "corvane-manifest 1\n" + Line(HashA, "1234", "Default.htm") +
                        Line(HashC, "98765432101", "logo.gif") + Line(HashB, "0", "my page.htm"));
    EXPECT_EQ(TManifest::Parse(text), manifest);
    EXPECT_EQ(TManifest::Parse("corvane-manifest 1\n").Files.size(), 0u);
}

namespace {

// The manifest's reading as the release before the writer's line had it, word for word but
// for its errors: what that release makes of a manifest written now.
std::map<std::string, TManifestEntry> EarlierParse(const std::string& text) {
    std::map<std::string, TManifestEntry> files;
    std::size_t at = 0;
    int lineNumber = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            throw TError("does not end with a line break");
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (++lineNumber == 1) {
            if (line != "corvane-manifest 1")
                throw TError("another header");
            continue;
        }
        const std::size_t firstBlank = line.find(' ');
        const std::size_t secondBlank =
            firstBlank == std::string::npos ? std::string::npos : line.find(' ', firstBlank + 1);
        if (secondBlank == std::string::npos)
            throw TError("is not \"hash size name\"");
        const std::string hash = line.substr(0, firstBlank);
        const std::string size = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
        const std::string name = line.substr(secondBlank + 1);
        if (!IsSha256Text(hash))
            throw TError("holds no SHA-256");
        if (size.empty() || size.size() > 18 ||
            size.find_first_not_of("0123456789") != std::string::npos)
            throw TError("holds no size");
        if (name.empty() || name[0] == '.' ||
            name.find_first_of(std::string("/\\\r\0", 4)) != std::string::npos)
            throw TError("holds no plain file name");
        if (!files.emplace(name, TManifestEntry{std::stoll(size), hash}).second)
            throw TError("names a file a second time");
    }
    if (lineNumber == 0)
        throw TError("empty");
    return files;
}

} // namespace

TEST(Manifest, TheWriterAndTheTimeRoundTripAndAManifestWithoutThemIsStillRead) {
    TManifest manifest;
    manifest.Files["Default.htm"] = {1234, HashA};
    manifest.PublisherId = "0123456789abcdef";
    manifest.PublishedAt = 1800000000;
    const std::string text = manifest.Text();
    EXPECT_EQ(text, "corvane-manifest 1\n" +
                        Line(std::string(64, '0'), "0",
                             "corvane-published-by 0123456789abcdef at 2027-01-15T08:00:00Z") +
                        Line(HashA, "1234", "Default.htm"));
    EXPECT_EQ(TManifest::Parse(text), manifest);

    // As the earlier release wrote it: no writer, no time.
    const TManifest earlier =
        TManifest::Parse("corvane-manifest 1\n" + Line(HashA, "1234", "Default.htm"));
    EXPECT_EQ(earlier.PublisherId, "");
    EXPECT_EQ(earlier.PublishedAt, 0);
    EXPECT_EQ(earlier.Files, manifest.Files);
}

TEST(Manifest, TheEarlierReleaseReadsTheWriterAsAFileTheSiteDoesNotHave) {
    TManifest manifest;
    manifest.Files["Default.htm"] = {1234, HashA};
    manifest.Files["my page.htm"] = {10, HashB};
    manifest.PublisherId = "0123456789abcdef";
    manifest.PublishedAt = 1800000000;
    const std::string writer = "corvane-published-by 0123456789abcdef at 2027-01-15T08:00:00Z";
    std::map<std::string, TManifestEntry> files;
    ASSERT_NO_THROW(files = EarlierParse(manifest.Text()));
    std::map<std::string, TManifestEntry> expected = manifest.Files;
    expected[writer] = {0, std::string(64, '0')};
    EXPECT_EQ(files, expected);

    // Its plan: the site's files unchanged, the writer's line one file to delete (which is
    // not there, and so counts as deleted); the manifest it then writes names no writer.
    TManifest read;
    read.Files = files;
    TSyncPlan plan =
        TSyncPlan::Make({{"Default.htm", 1234, HashA}, {"my page.htm", 10, HashB}}, &read);
    ASSERT_EQ(plan.Items.size(), 3u);
    EXPECT_EQ(plan.Items[2].Name, writer);
    EXPECT_EQ(plan.Items[2].Kind, TSyncKind::Delete);
    EXPECT_EQ(plan.Uploads(), 0);
    EXPECT_EQ(plan.ManifestAfterRun().Files, manifest.Files);
    const TManifest after = TManifest::Parse(plan.ManifestAfterRun().Text());
    EXPECT_EQ(after.PublisherId, "");
    EXPECT_EQ(after.Files, manifest.Files);

    // A site file of the writer's very name keeps the manifest readable for it: no writer.
    manifest.Files[writer] = {5, HashC};
    EXPECT_NO_THROW(EarlierParse(manifest.Text()));
    EXPECT_EQ(TManifest::Parse(manifest.Text()).PublisherId, "");
}

TEST(Manifest, AWriterLineThatDoesNotReadAsOneNamesNoWriterAndNoFile) {
    const std::string zero(64, '0');
    struct TCase {
        const char* What;
        std::string Line;
        std::string Id;
        std::size_t Files;
    };
    const TCase cases[] = {
        {"the writer", Line(zero, "0", "corvane-published-by 00ff at 2026-12-10T02:45:40Z"), "00ff",
         0},
        {"a time without its zone",
         Line(zero, "0", "corvane-published-by 00ff at 2026-12-10T02:45:40"), "", 0},
        {"a time out of range",
         Line(zero, "0", "corvane-published-by 00ff at 2026-13-10T02:45:40Z"), "", 0},
        {"an id in capitals", Line(zero, "0", "corvane-published-by 00FF at 2026-12-10T02:45:40Z"),
         "", 0},
        {"an id of more than 64 digits",
         Line(zero, "0",
              "corvane-published-by " + std::string(65, 'a') + " at 2026-12-10T02:45:40Z"),
         "", 0},
        {"no time", Line(zero, "0", "corvane-published-by 00ff"), "", 0},
        {"a size: a file of that name",
         Line(zero, "7", "corvane-published-by 00ff at 2026-12-10T02:45:40Z"), "", 1},
        {"a hash: a file of that name",
         Line(HashA, "0", "corvane-published-by 00ff at 2026-12-10T02:45:40Z"), "", 1},
        {"a second writer, left out",
         Line(zero, "0", "corvane-published-by 00ff at 2026-12-10T02:45:40Z") +
             Line(zero, "0", "corvane-published-by 11ee at 2026-12-11T02:45:40Z"),
         "00ff", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TManifest manifest = TManifest::Parse("corvane-manifest 1\n" + c.Line);
        EXPECT_EQ(manifest.PublisherId, c.Id);
        EXPECT_EQ(manifest.Files.size(), c.Files);
    }
}

TEST(Manifest, ANameTheListsCannotHoldIsLeftOutSoThatTheyStayReadable) {
    // Such a name may be a site's file ("a\\b.htm"); listed, it made the whole list unreadable.
    for (const char* bad : {"a\\b.htm", "sub/a.htm", ".hidden", "a\rb.htm"}) {
        SCOPED_TRACE(bad);
        TManifest manifest;
        manifest.Files["Default.htm"] = {1234, HashA};
        manifest.Files[bad] = {5, HashB};
        const std::string text = manifest.Text();
        EXPECT_EQ(text, "corvane-manifest 1\n" + Line(HashA, "1234", "Default.htm"));
        EXPECT_EQ(TManifest::Parse(text).Files.size(), 1u);
        const std::string pending = TManifest::PendingText({"Default.htm", bad});
        EXPECT_EQ(pending, "corvane-pending 1\nDefault.htm\n");
        EXPECT_EQ(TManifest::ParsePending(pending), std::set<std::string>{"Default.htm"});
    }
}

TEST(Manifest, AnythingElseIsRefusedWithWhatIsWrong) {
    const std::string header = "corvane-manifest 1\n";
    struct TCase {
        std::string Text;
        const char* Says;
    };
    const TCase cases[] = {
        {"", "empty"},
        {"corvane-manifest 2\n", "line 1 is not"},
        {"<html>\n", "line 1 is not"},
        {"corvane-manifest 1", "does not end with a line break"},
        {header + Line(HashA, "1", "a.htm").substr(0, 70), "line 2 does not end"},
        {header + HashA + " 1\n", "line 2 is not \"hash size name\""},
        {header + Line(std::string(63, 'a'), "1", "a.htm"), "no SHA-256"},
        {header + Line(std::string(64, 'A'), "1", "a.htm"), "no SHA-256"},
        {header + Line(HashA, "-1", "a.htm"), "no size"},
        {header + Line(HashA, "1x", "a.htm"), "no size"},
        {header + Line(HashA, "1234567890123456789", "a.htm"), "no size"},
        {header + Line(HashA, "1", ""), "no plain file name"},
        {header + Line(HashA, "1", "../a.htm"), "no plain file name"},
        {header + Line(HashA, "1", "sub\\a.htm"), "no plain file name"},
        {header + Line(HashA, "1", "a.htm\r"), "no plain file name"},
        {header + Line(HashA, "1", ".."), "no plain file name"},
        {header + Line(HashA, "1", ".htaccess"), "no plain file name"},
        {header + Line(HashA, "1", ".corvane-pending"), "no plain file name"},
        {header + Line(HashA, "1", ".corvane-manifest"), "no plain file name"},
        {header + Line(HashA, "1", ".corvane-part-a.htm"), "no plain file name"},
        {header + Line(HashA, "1", "\x1b[2J") + Line(HashB, "2", "\x1b[2J"),
         "line 3 names ?[2J a second time"},
        {header + Line(HashA, "1", "a.htm") + Line(HashB, "2", "a.htm"),
         "line 3 names a.htm a second time"},
        {std::string(TManifest::MaxBytes + 1, 'x'), "too large"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text.substr(0, 80));
        try {
            TManifest::Parse(c.Text);
            ADD_FAILURE() << "accepted";
        } catch (const TError& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.Says));
        }
    }
}

TEST(Manifest, ThePendingListRoundTripsAndUnknownEntriesStayOutOfTheManifest) {
    const std::set<std::string> names = {"Default.htm", "my page.htm", "Old.htm"};
    const std::string text = TManifest::PendingText(names);
    EXPECT_EQ(text, "corvane-pending 1\nDefault.htm\nOld.htm\nmy page.htm\n");
    EXPECT_EQ(TManifest::ParsePending(text), names);
    EXPECT_EQ(TManifest::ParsePending("corvane-pending 1\n").size(), 0u);

    TManifest manifest;
    manifest.Files["Default.htm"] = {1234, HashA};
    manifest.Files["logo.gif"] = {10, HashC};
    manifest.MarkUnknown({"Default.htm", "New.htm"});
    EXPECT_EQ(manifest.Unknown(), (std::set<std::string>{"Default.htm", "New.htm"}));
    EXPECT_FALSE(manifest.Files["New.htm"].Known());
    EXPECT_EQ(manifest.Text(), "corvane-manifest 1\n" + Line(HashC, "10", "logo.gif"));

    const std::string header = "corvane-pending 1\n";
    const std::pair<std::string, const char*> refused[] = {
        {"", "empty"},
        {"corvane-pending 2\n", "line 1 is not"},
        {"corvane-manifest 1\n", "line 1 is not"},
        {header + "a.htm", "line 2 does not end with a line break"},
        {header + "\n", "line 2 holds no plain file name"},
        {header + "../a.htm\n", "no plain file name"},
        {header + "a.htm\r\n", "no plain file name"},
        {header + ".htaccess\n", "no plain file name"},
        {header + ".corvane-pending\n", "no plain file name"},
        {header + ".corvane-manifest\n", "no plain file name"},
        {std::string(TManifest::MaxBytes + 1, 'x'), "too large"},
    };
    for (const auto& [bad, says] : refused) {
        SCOPED_TRACE(bad.substr(0, 40));
        try {
            TManifest::ParsePending(bad);
            ADD_FAILURE() << "accepted";
        } catch (const TError& e) {
            EXPECT_THAT(e.what(), HasSubstr(says));
        }
    }
}

TEST(SyncPlan, EachFileIsNewChangedUnchangedOrDeleted) {
    TManifest remote;
    remote.Files["same.htm"] = {10, HashA};
    remote.Files["resized.htm"] = {10, HashB};  // same hash, other size
    remote.Files["rehashed.htm"] = {20, HashB}; // same size, other hash
    remote.Files["gone.htm"] = {30, HashC};     // no longer on the site
    remote.Files["also gone.gif"] = {40, HashC};
    const std::vector<TLocalFile> site = {{"same.htm", 10, HashA},
                                          {"resized.htm", 11, HashB},
                                          {"rehashed.htm", 20, HashC},
                                          {"fresh.htm", 5, HashA}};
    TSyncPlan plan = TSyncPlan::Make(site, &remote);
    std::vector<std::string> rows;
    for (const TSyncItem& item : plan.Items)
        rows.push_back(item.Name + " " + SyncKindText(item.Kind) + " " + std::to_string(item.Size) +
                       (item.Ticked ? " ticked" : " unticked"));
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "same.htm Unchanged 10 unticked", "resized.htm Changed 11 ticked",
                        "rehashed.htm Changed 20 ticked", "fresh.htm New 5 ticked",
                        "also gone.gif Delete 40 ticked", "gone.htm Delete 30 ticked"}));
    EXPECT_EQ(plan.Uploads(), 3);
    EXPECT_EQ(plan.UploadBytes(), 36);
    EXPECT_EQ(plan.Deletes(), 2);
    EXPECT_EQ(plan.Unchanged(), 1);

    // Without a manifest everything is new and nothing is deleted.
    TSyncPlan first = TSyncPlan::Make(site, nullptr);
    ASSERT_EQ(first.Items.size(), 4u);
    for (const TSyncItem& item : first.Items) {
        EXPECT_EQ(item.Kind, TSyncKind::New);
        EXPECT_TRUE(item.Ticked);
    }
    EXPECT_EQ(first.Deletes(), 0);
}

TEST(SyncPlan, SummaryFollowsTheTicks) {
    SetThousandsSeparator(",");
    std::vector<TLocalFile> site;
    TManifest remote;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = "File" + std::to_string(i) + ".htm";
        site.push_back({name, 1000, HashA});
        remote.Files[name] = {1000, i < 12 ? HashB : HashA};
    }
    for (int i = 0; i < 3; ++i)
        remote.Files["Old" + std::to_string(i) + ".htm"] = {1, HashC};
    TSyncPlan plan = TSyncPlan::Make(site, &remote);
    // 12 × 1000 bytes are 11.7 KB: 12 KB.
    EXPECT_EQ(plan.Summary(), "12 to upload (12 KB), 3 to delete, 988 unchanged");
    // An unchanged file ticked is sent again; an unticked deletion is kept.
    plan.Items[500].Ticked = true;
    plan.Items.back().Ticked = false;
    EXPECT_EQ(plan.Summary(), "13 to upload (13 KB), 2 to delete, 987 unchanged");
    EXPECT_EQ(plan.DeleteQuestion(), "");
    SetThousandsSeparator("");
}

TEST(SyncPlan, MoreThanFiftyDeletionsAskFirst) {
    TManifest remote;
    for (int i = 0; i < 51; ++i)
        remote.Files["Page" + std::to_string(i) + ".htm"] = {1, HashA};
    TSyncPlan plan = TSyncPlan::Make({}, &remote);
    EXPECT_EQ(plan.Deletes(), 51);
    EXPECT_EQ(plan.DeleteQuestion(), "Delete 51 files that the site no longer has?");
    plan.Items[0].Ticked = false;
    EXPECT_EQ(plan.DeleteQuestion(), "");
}

TEST(SyncPlan, TheManifestAfterARunListsWhatTheServerHolds) {
    TManifest remote;
    remote.Files["same.htm"] = {10, HashA};
    remote.Files["changed.htm"] = {10, HashA};
    remote.Files["changed unsent.htm"] = {10, HashA};
    remote.Files["gone.htm"] = {30, HashC};
    remote.Files["kept.htm"] = {40, HashC};
    TSyncPlan plan = TSyncPlan::Make({{"same.htm", 10, HashA},
                                      {"changed.htm", 12, HashB},
                                      {"changed unsent.htm", 12, HashB},
                                      {"new.htm", 5, HashB},
                                      {"new unsent.htm", 5, HashB}},
                                     &remote);
    for (TSyncItem& item : plan.Items)
        if (item.Name == "changed unsent.htm" || item.Name == "new unsent.htm" ||
            item.Name == "kept.htm")
            item.Ticked = false;
    TManifest expected;
    expected.Files["same.htm"] = {10, HashA};
    expected.Files["changed.htm"] = {12, HashB};
    expected.Files["changed unsent.htm"] = {10, HashA}; // still changed next time
    expected.Files["new.htm"] = {5, HashB};
    expected.Files["kept.htm"] = {40, HashC}; // not deleted: still on the server
    EXPECT_EQ(plan.ManifestAfterRun(), expected);
    // The next run against that manifest finds only what was left out.
    std::vector<TLocalFile> site = {{"same.htm", 10, HashA},
                                    {"changed.htm", 12, HashB},
                                    {"changed unsent.htm", 12, HashB},
                                    {"new.htm", 5, HashB},
                                    {"new unsent.htm", 5, HashB}};
    const TManifest after = plan.ManifestAfterRun();
    TSyncPlan next = TSyncPlan::Make(site, &after);
    EXPECT_EQ(next.Summary(), "2 to upload (0 KB), 1 to delete, 3 unchanged");
}

TEST(SyncPlan, ANameTheSiteSpellsOtherwiseOnlyInCaseIsNeverDeleted) {
    // To a server that ignores case both spellings are one file: deleting the old one would
    // remove the page just sent under the new.
    TManifest remote;
    remote.Files["Index.htm"] = {10, HashA};
    remote.Files["LOGO.GIF"] = {20, HashB};
    remote.Files["Old.htm"] = {30, HashC};
    struct TCase {
        const char* What;
        bool IndexTicked;
        std::vector<std::string> After;
    };
    const TCase cases[] = {
        // Sent: the old spelling goes from the manifest with it.
        {"sent", true, {"index.htm", "logo.gif"}},
        // Not sent: the server still holds the old file under its old spelling.
        {"not sent", false, {"Index.htm", "logo.gif"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TSyncPlan plan =
            TSyncPlan::Make({{"index.htm", 10, HashA}, {"logo.gif", 20, HashB}}, &remote);
        std::vector<std::string> names;
        for (TSyncItem& item : plan.Items) {
            names.push_back(item.Name + " " + SyncKindText(item.Kind));
            if (item.Name == "index.htm")
                item.Ticked = c.IndexTicked;
        }
        EXPECT_THAT(names,
                    ::testing::ElementsAre("index.htm New", "logo.gif New", "Old.htm Delete"));
        EXPECT_EQ(plan.Deletes(), 1);
        EXPECT_THAT(plan.OtherSpellings("index.htm"), ::testing::ElementsAre("Index.htm"));
        EXPECT_THAT(plan.OtherSpellings("Old.htm"), ::testing::ElementsAre());
        std::vector<std::string> after;
        for (const auto& [name, entry] : plan.ManifestAfterRun().Files)
            after.push_back(name);
        EXPECT_EQ(after, c.After);
    }
    // Two files of the site that differ only in case are both the site's.
    const TSyncPlan both = TSyncPlan::Make({{"a.htm", 1, HashA}, {"A.htm", 1, HashB}}, &remote);
    EXPECT_TRUE(both.OtherSpellings("a.htm").empty());
    // A server that ignores case ignores it in the letters of other languages too.
    TManifest capital;
    capital.Files["\xC3\x84rger.jpg"] = {1, HashB};
    const TSyncPlan umlaut = TSyncPlan::Make({{"\xC3\xA4rger.jpg", 1, HashA}}, &capital);
    EXPECT_EQ(umlaut.Deletes(), 0);
    const struct {
        const char* A;
        const char* B;
        bool Same;
    } pairs[] = {
        {"Index.HTM", "index.htm", true},
        {"index.htm", "index.html", false},
        {"\xC3\x89T\xC3\x89.htm", "\xC3\xA9t\xC3\xA9.htm", true}, // ÉTÉ, été
        {"\xC5\x81\xC3\xB3"
         "d\xC5\xBA.htm",
         "\xC5\x82\xC3\xB3"
         "d\xC5\xBA.htm",
         true},                                                 // Łódź
        {"\xC5\xB8.htm", "\xC3\xBF.htm", true},                 // Ÿ, ÿ
        {"\xCE\x91\xCE\xA9.htm", "\xCE\xB1\xCF\x89.htm", true}, // ΑΩ, αω
        {"\xD0\x81\xD0\xAF.htm", "\xD1\x91\xD1\x8F.htm", true}, // ЁЯ, ёя
        {"\xC3\x97.htm", "\xC3\xB7.htm", false},                // ×, ÷
        {"\xC3\x84.htm", "A.htm", false},
        {"\xC3.htm", "\xC3.htm", true}, // not UTF-8: byte for byte
    };
    for (const auto& pair : pairs)
        EXPECT_EQ(SameNameIgnoringCase(pair.A, pair.B), pair.Same) << pair.A << " " << pair.B;
}

TEST(SyncPlan, TheSiteIsThePlainFilesOfTheFolder) {
    TTempFolder dir;
    WriteFileBytes(dir / "b.htm", "bee");
    WriteFileBytes(dir / "a.gif", "GIF89a");
    WriteFileBytes(dir / ".htaccess", "hidden");
    std::filesystem::create_directory(dir / "sub");
    WriteFileBytes(dir / "sub/inner.htm", "inner");
    std::filesystem::create_symlink(dir / "b.htm", dir / "c.htm");
    const std::vector<TLocalFile> files = ListSiteFiles(dir.Path());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].Name, "a.gif");
    EXPECT_EQ(files[0].Size, 6);
    EXPECT_EQ(files[0].Sha256, Sha256OfBytes("GIF89a"));
    EXPECT_EQ(files[1].Name, "b.htm");
    EXPECT_EQ(files[1].Sha256, Sha256OfBytes("bee"));
}

TEST(SyncPlan, TheLockIsNeitherAFileOfTheSiteNorOneAManifestMayList) {
    // A site folder that holds the lock's names (as one published from the server's folder
    // would): not part of the site, so never sent.
    TTempFolder dir;
    WriteFileBytes(dir / "a.htm", "a");
    std::filesystem::create_directory(dir / ".corvane-lock");
    WriteFileBytes(dir / ".corvane-lock/owner", "corvane-lock 1\n");
    WriteFileBytes(dir / ".corvane-lock-file", "x");
    const std::vector<TLocalFile> files = ListSiteFiles(dir.Path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].Name, "a.htm");
    // A manifest that names them is not read, so that no plan deletes them.
    for (const char* name : {".corvane-lock", ".corvane-lock/owner"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(TManifest::Parse("corvane-manifest 1\n" + Line(HashA, "1", name)), TError);
        EXPECT_THROW(TManifest::ParsePending(std::string("corvane-pending 1\n") + name + "\n"),
                     TError);
    }
}
