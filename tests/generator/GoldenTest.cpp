// Whole sites: each case of tests/generator/golden is a project that is built into a
// temporary folder and compared, file by file and byte for byte, with the site kept in the
// case's expected/ folder. With CORVANE_UPDATE_GOLDEN=1 in the environment the test writes
// what the build gave into expected/ instead (removing files the build no longer writes);
// review the change with git diff before committing it.
//
// A case folder holds either project/ (Default.Pro, the column documents, Downloads and any
// pictures of its own) or project-from.txt, one line naming a project folder relative to the
// source tree (the bundled sample is pinned as shipped that way). The pictures in
// golden/pictures are put into the Images folder of every project of its own first, so that
// the cases share one copy of them. sample-classic keeps the bundled sample as it was before
// the Modern design, so that its Classic pages stay pinned byte for byte.

#include "TestSupport.h"
#include "generator/Driver.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/Locale.h"
#include "platform/XmlDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Every case, by its folder name in tests/generator/golden.
const char* const Cases[] = {
    "sample",
    "sample-classic",
    "layout-topic-on-top-menu-on-top",
    "layout-topic-and-menu-on-top",
    "layout-menu-on-left-foot-on-bottom",
    "layout-menu-on-left-foot-on-right",
    "layout-topic-on-left-foot-on-bottom",
    "layout-topic-on-left-foot-on-right",
    "style-only-title-list",
    "style-title-list-with-summary",
    "style-title-list-and-contents",
    "style-contents",
    "style-pictures-2-columns",
    "style-pictures-3-columns",
    "style-pictures-4-columns",
    "empty-menu-list",
    "links-only",
    "homepage-name",
    "names-with-folder-parts",
    "record-defaults",
    "values-outside-the-lists",
    "unknown-layout",
    "escaping",
    "summary-cuts",
    "charset-iso-8859-1-german",
    "charset-windows-1251-cyrillic",
    "charset-iso-8859-7-greek",
    "charset-shift-jis",
    "charset-iso-2022-jp",
    "charset-big5",
    "charset-gb2312",
    "charset-euc-kr-korean",
    "charset-maccyrillic",
    "charset-macce-as-utf8",
    "options-page-titles-and-alt-texts",
    "options-mobile",
    "options-sitemap-and-feeds",
    "options-feeds-without-domain",
    "pictures-png-and-webp",
    "markdown",
    "markdown-latin1",
    "markdown-modern",
    "modern-site",
    "modern-arabic",
};

// The day that pages without a date of their own get, and the date form they are shown in.
constexpr TDate FixedToday{2001, 2, 3};
constexpr const char* DatePattern = "%m/%d/%Y";

fs::path SourceDir() {
    return SourceFolder();
}

fs::path GoldenDir() {
    return SourceDir() / "tests" / "generator" / "golden";
}

bool UpdateRequested() {
    const char* update = std::getenv("CORVANE_UPDATE_GOLDEN");
    return update && std::string(update) == "1";
}

// Every ordinary file below folder, by its path relative to it ("/" between parts), with its
// bytes; an absent folder holds none.
std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).generic_string()] =
                ReadFileBytes(entry.path().string());
    return files;
}

// The project folder of a case: its own, or the one its project-from.txt names.
fs::path ProjectOf(const fs::path& caseDir, bool& ownProject) {
    ownProject = fs::is_directory(caseDir / "project");
    if (ownProject)
        return caseDir / "project";
    std::string from = ReadFileBytes((caseDir / "project-from.txt").string());
    while (!from.empty() && (from.back() == '\n' || from.back() == '\r' || from.back() == ' '))
        from.pop_back();
    return SourceDir() / from;
}

// A line for a failure message: control bytes and bytes above 126 spelt out, long lines cut.
std::string Shown(const std::string& line) {
    std::string out;
    for (unsigned char c : line.substr(0, 300)) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c < 32 || c > 126) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else
            out += static_cast<char>(c);
    }
    if (line.size() > 300)
        out += "...";
    return "\"" + out + "\"";
}

// The line (from 1) in which expected and actual first differ, with both versions of it.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    const auto differ =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first;
    const std::size_t at = static_cast<std::size_t>(differ - expected.begin());
    // The bytes before the difference are the same in both, and so is where its line starts.
    const std::size_t lineStart = at == 0 ? 0 : expected.rfind('\n', at - 1) + 1;
    const auto lineNumber = 1 + std::count(expected.begin(), differ, '\n');
    auto lineOf = [&](const std::string& text) {
        if (lineStart >= text.size())
            return std::string("(end of file)");
        const std::size_t end = text.find('\n', lineStart);
        return Shown(text.substr(lineStart, end == std::string::npos ? std::string::npos
                                                                     : end + 1 - lineStart));
    };
    std::ostringstream s;
    s << "first difference at byte " << at << ", line " << lineNumber << "\n"
      << "  expected: " << lineOf(expected) << "\n"
      << "  built:    " << lineOf(actual) << "\n"
      << "  (" << expected.size() << " bytes expected, " << actual.size() << " built)";
    return s.str();
}

void WriteExpected(const fs::path& expectedDir, const std::map<std::string, std::string>& built) {
    fs::remove_all(expectedDir);
    if (built.empty())
        return; // no expected/ folder stands for a build that writes nothing
    fs::create_directories(expectedDir);
    for (const auto& [name, bytes] : built) {
        const fs::path file = expectedDir / name;
        fs::create_directories(file.parent_path());
        WriteFileBytes(file.string(), bytes);
    }
}

class GoldenTest : public ::testing::TestWithParam<std::string> {
  protected:
    static void SetUpTestSuite() {
        SetToday(FixedToday);
        SetShortDatePattern(DatePattern);
        SetThousandsSeparator(",");
    }
    static void TearDownTestSuite() {
        SetToday(std::nullopt);
        SetShortDatePattern("");
    }
};

TEST_P(GoldenTest, BuildGivesTheExpectedSite) {
    const fs::path caseDir = GoldenDir() / GetParam();
    ASSERT_TRUE(fs::is_directory(caseDir)) << caseDir;
    bool ownProject = false;
    const fs::path source = ProjectOf(caseDir, ownProject);
    ASSERT_TRUE(fs::exists(source / "Default.Pro")) << source;
    const std::map<std::string, std::string> sourceBefore = FilesBelow(source);

    // The project is opened from a copy: opening makes its sub-folders.
    TTempFolder temp;
    const fs::path project = temp / "Project";
    fs::create_directories(project / "Images");
    if (ownProject)
        fs::copy(GoldenDir() / "pictures", project / "Images", fs::copy_options::recursive);
    fs::copy(source, project, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const fs::path site = temp / "Site";
    fs::create_directories(site);
    {
        TXmlDocument document;
        TDProject opened(project.string(), document);
        BuildInto(opened, site.string());
        EXPECT_EQ(CurrentColumn, nullptr);
    }
    EXPECT_EQ(FilesBelow(source), sourceBefore) << "building changed the case's project";

    const std::map<std::string, std::string> built = FilesBelow(site);
    const fs::path expectedDir = caseDir / "expected";
    if (UpdateRequested()) {
        WriteExpected(expectedDir, built);
        return;
    }
    const std::map<std::string, std::string> expected = FilesBelow(expectedDir);
    for (const auto& [name, bytes] : expected) {
        const auto found = built.find(name);
        if (found == built.end())
            ADD_FAILURE() << name << ": expected, but the build did not write it";
        else if (found->second != bytes)
            ADD_FAILURE() << name << ": " << FirstDifference(bytes, found->second);
    }
    for (const auto& [name, bytes] : built)
        if (!expected.count(name))
            ADD_FAILURE() << name << ": written by the build, but not expected (" << bytes.size()
                          << " bytes)";
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Sites, GoldenTest,
                         ::testing::ValuesIn(std::vector<std::string>(std::begin(Cases),
                                                                      std::end(Cases))),
                         CaseName);

// A case folder that the list above forgets would never be built.
TEST(GoldenCases, EveryCaseFolderIsListed) {
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(GoldenDir()))
        if (entry.is_directory() && entry.path().filename() != "pictures")
            folders.push_back(entry.path().filename().string());
    std::sort(folders.begin(), folders.end());
    std::vector<std::string> listed(std::begin(Cases), std::end(Cases));
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(folders, listed);
}

// The comparison itself: a difference is found and told by its line.
TEST(GoldenCases, FirstDifferenceNamesTheLine) {
    EXPECT_EQ(FirstDifference("a\r\nb\r\nc\r\n", "a\r\nB\r\nc\r\n"),
              "first difference at byte 3, line 2\n"
              "  expected: \"b\\r\\n\"\n"
              "  built:    \"B\\r\\n\"\n"
              "  (9 bytes expected, 9 built)");
    EXPECT_EQ(FirstDifference("a\r\nb\r\n", "a\nb\n"), "first difference at byte 1, line 1\n"
                                                       "  expected: \"a\\r\\n\"\n"
                                                       "  built:    \"a\\n\"\n"
                                                       "  (6 bytes expected, 4 built)");
    EXPECT_EQ(FirstDifference("a\r\n", "a\r\nmore\r\n"), "first difference at byte 3, line 2\n"
                                                         "  expected: (end of file)\n"
                                                         "  built:    \"more\\r\\n\"\n"
                                                         "  (3 bytes expected, 9 built)");
}

} // namespace
