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
    const std::string at = " at 2026-12-10T02:45:40Z";
    struct TCase {
        const char* What;
        std::string Writer; // what follows "corvane-published-by "
        std::string Id;
        std::size_t Files;
        std::string Size = "0";
        std::string Hash = std::string(64, '0');
        std::string More = {}; // lines after it
    };
    const TCase cases[] = {
        {"the writer", "00ff" + at, "00ff", 0},
        {"a time without its zone", "00ff at 2026-12-10T02:45:40", "", 0},
        {"a time out of range", "00ff at 2026-13-10T02:45:40Z", "", 0},
        {"an id in capitals", "00FF" + at, "", 0},
        {"an id of more than 64 digits", std::string(65, 'a') + at, "", 0},
        {"no time", "00ff", "", 0},
        {"a size: a file of that name", "00ff" + at, "", 1, "7"},
        {"a hash: a file of that name", "00ff" + at, "", 1, "0", HashA},
        {"a second writer, left out", "00ff" + at, "00ff", 0, "0", zero,
         Line(zero, "0", "corvane-published-by 11ee at 2026-12-11T02:45:40Z")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        const TManifest manifest =
            TManifest::Parse("corvane-manifest 1\n" +
                             Line(c.Hash, c.Size, "corvane-published-by " + c.Writer) + c.More);
        EXPECT_EQ(manifest.PublisherId, c.Id);
        EXPECT_EQ(manifest.Files.size(), c.Files);
    }
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
