// corvane-cli --help, COMMAND --help and help COMMAND; a wrong command line gives a one-line
// error and the usage, exit 2; the manual page names every command and option.

#include "CliRun.h"
#include "TestSupport.h"
#include "publish/PublishTarget.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

// The commands on a project folder; import takes an archive file.
const std::vector<std::string> Commands = {"check", "build", "publish", "connect", "export"};

// Every option of every command, and the program's own.
const std::vector<std::string> Options = {
    "--help",  "-h",        "--version", "--into", "--yes",  "-y", "--no-build", "--verbose", "-v",
    "--trust", "--dry-run", "-n",        "--all",  "--jobs", "-j", "--force",    "-f"};

class HelpTest : public ::testing::Test {
  protected:
    TCliRun Run(const std::vector<std::string>& args) { return RunCorvaneCli(Dir, args); }

    // What --help prints, the usage that errors repeat.
    std::string ProgramUsage() {
        TCliRun run = Run({"--help"});
        EXPECT_EQ(run.Status, 0);
        return run.Out;
    }
    std::string CommandUsage(const std::string& command) {
        TCliRun run = Run({command, "--help"});
        EXPECT_EQ(run.Status, 0) << command;
        return run.Out;
    }

    TTempFolder Dir;
};

TEST_F(HelpTest, TheProgramsHelpListsEveryCommandAndOption) {
    const std::string usage = ProgramUsage();
    EXPECT_EQ(usage.rfind("Usage: corvane-cli COMMAND", 0), 0U) << usage;
    for (const std::string& command : Commands)
        EXPECT_NE(usage.find("  " + command + " PROJECT_FOLDER"), std::string::npos) << command;
    for (const std::string& option : Options)
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_NE(usage.find("  import ARCHIVE_FILE [PROJECT_FOLDER]"), std::string::npos);
    EXPECT_NE(usage.find("  help [COMMAND]"), std::string::npos);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-h"}, {"help"}}) {
        TCliRun run = Run(args);
        EXPECT_EQ(run.Status, 0) << args[0];
        EXPECT_EQ(run.Out, usage) << args[0];
        EXPECT_EQ(run.Err, "") << args[0];
    }
}

TEST_F(HelpTest, EachCommandHasItsOwnHelp) {
    for (const std::string& command : Commands) {
        const std::string usage = CommandUsage(command);
        EXPECT_EQ(usage.rfind("Usage: corvane-cli " + command + " PROJECT_FOLDER", 0), 0U) << usage;
        EXPECT_NE(usage.find("-h, --help"), std::string::npos) << command;
        // The same text however it is asked for, also after a project folder, and nothing is
        // done then.
        const std::vector<std::vector<std::string>> asks = {
            {command, "-h"}, {"help", command}, {command, Dir / "Nowhere", "--help"}};
        for (const auto& args : asks) {
            TCliRun run = Run(args);
            EXPECT_EQ(run.Status, 0) << args[0] << " " << args[1];
            EXPECT_EQ(run.Out, usage) << args[0] << " " << args[1];
            EXPECT_EQ(run.Err, "") << args[0] << " " << args[1];
        }
    }
    EXPECT_EQ(CommandUsage("import").rfind("Usage: corvane-cli import ARCHIVE_FILE", 0), 0U);
    EXPECT_NE(CommandUsage("export").find("-f, --force"), std::string::npos);
    EXPECT_NE(CommandUsage("build").find("--into FOLDER"), std::string::npos);
    for (const char* option :
         {"-y, --yes", "--no-build", "-v, --verbose", "-n, --dry-run", "--all", "-j, --jobs N"})
        EXPECT_NE(CommandUsage("publish").find(option), std::string::npos) << option;
}

TEST_F(HelpTest, TheTargetsAreListedWhereTheyAreUsed) {
    TCliRun run = Run({"help", "targets"});
    EXPECT_EQ(run.Status, 0);
    for (const char* name : {"FTP ", "FTPS ", "SFTP ", "Folder ", "Git "})
        EXPECT_NE(("\n" + run.Out).find(std::string("\n  ") + name), std::string::npos)
            << name << run.Out;
    for (const char* command : {"publish", "connect"})
        EXPECT_NE(CommandUsage(command).find("Targets (the project's protocol):\n" + run.Out),
                  std::string::npos)
            << command;
    EXPECT_NE(ProgramUsage().find("(FTP, FTPS, SFTP, Folder or Git)"), std::string::npos);
    // Elsewhere a target is named only in its own sentences.
    for (const char* command : {"publish", "connect"}) {
        std::string usage = CommandUsage(command);
        usage.erase(usage.find("Targets (the project's protocol):"));
        if (const std::size_t at = usage.find(PublishTargetNames(" or ")); at != std::string::npos)
            usage.erase(at, PublishTargetNames(" or ").size());
        for (const TPublishTarget* target : PublishTargets())
            for (const char* note : {target->Words.PublishNote, target->Words.ConnectNote})
                if (const std::size_t at = usage.find(note); *note && at != std::string::npos)
                    usage.erase(at, std::string(note).size());
        for (const TPublishTarget* target : PublishTargets())
            EXPECT_EQ(usage.find(std::string(" ") + target->Name + " "), std::string::npos)
                << command << ": " << target->Name;
    }
}

TEST_F(HelpTest, AnUnknownOptionOrCommandGivesOneLineAndTheUsage) {
    const std::string usage = ProgramUsage();
    struct TCase {
        std::vector<std::string> Args;
        std::string Line;
    };
    const TCase cases[] = {
        {{}, "corvane-cli: no command given"},
        {{"frobnicate"}, "corvane-cli: unknown command \"frobnicate\""},
        {{"--frobnicate"}, "corvane-cli: unknown option \"--frobnicate\""},
        {{"-x"}, "corvane-cli: unknown option \"-x\""},
        {{"help", "frobnicate"}, "corvane-cli: unknown command \"frobnicate\""},
        {{"help", "build", "check"}, "corvane-cli: unexpected argument \"check\""},
        {{"--version", "now"}, "corvane-cli: unexpected argument \"now\""},
    };
    for (const TCase& c : cases) {
        TCliRun run = Run(c.Args);
        EXPECT_EQ(run.Status, 2) << c.Line;
        EXPECT_EQ(run.Err, c.Line + "\n" + usage);
        EXPECT_EQ(run.Out, "") << c.Line;
    }
}

TEST_F(HelpTest, AWrongCommandLineOfACommandGivesOneLineAndItsUsage) {
    const std::string site = Dir / "Site";
    struct TCase {
        std::vector<std::string> Args;
        std::string Line;
    };
    const TCase cases[] = {
        {{"check"}, "the project folder is missing"},
        {{"check", site, site}, "unexpected argument \"" + site + "\""},
        {{"check", site, "--into", site}, "unknown option \"--into\""},
        {{"build", site, "--fast"}, "unknown option \"--fast\""},
        {{"build", site, "--into"}, "the option --into needs a value"},
        {{"build", site, "--into="}, "the option --into needs a value"},
        {{"build", site, "--into", site, "--into=" + site}, "the option --into is given twice"},
        {{"build", "--into", site}, "the project folder is missing"},
        {{"publish", site, "--yes=no"}, "unknown option \"--yes=no\""},
        {{"publish", site, "-q"}, "unknown option \"-q\""},
        {{"publish", site, "-y", "--yes"}, "the option --yes is given twice"},
        {{"export", site}, "the archive file is missing"},
        {{"export", site, site, site}, "unexpected argument \"" + site + "\""},
        {{"import"}, "the archive file is missing"},
        {{"import", site, site, site}, "unexpected argument \"" + site + "\""},
        {{"import", site, "--force"}, "unknown option \"--force\""},
    };
    for (const TCase& c : cases) {
        TCliRun run = Run(c.Args);
        EXPECT_EQ(run.Status, 2) << c.Line;
        EXPECT_EQ(run.Err, "corvane-cli: " + c.Line + "\n" + CommandUsage(c.Args[0]));
        EXPECT_EQ(run.Out, "") << c.Line;
    }
    // After "--" everything is an argument, so an option-like name is a project folder.
    TCliRun run = Run({"check", "--", "--help"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("--help is not a folder"), std::string::npos) << run.Err;
}

TEST_F(HelpTest, TheManualPageNamesEveryCommandAndOption) {
    const std::string page = ReadFileBytes(SourceFolder() + "/docs/man/corvane-cli.1.scd");
    for (const std::string& command : Commands)
        EXPECT_NE(page.find("*" + command + "* _PROJECT_FOLDER_"), std::string::npos) << command;
    EXPECT_NE(page.find("*import* _ARCHIVE_FILE_"), std::string::npos);
    EXPECT_NE(page.find("*help* [_COMMAND_]"), std::string::npos);
    // The build puts the targets corvane-cli lists in place of this line.
    EXPECT_NE(page.find("\n@PUBLISH_TARGETS@\n"), std::string::npos);
    for (const std::string& option : Options)
        EXPECT_NE(page.find("*" + option), std::string::npos) << option;
}

// The pages' own words name no target: the list and what each target's folder says of it
// (publish/NAME/PAGE.1.scd) are put in by the build, so a target added or taken out shows
// in the pages by itself.
TEST_F(HelpTest, TheManualPagesNameTheTargetsOnlyThroughTheRegistry) {
    TCliRun run = Run({"help", "targets"});
    ASSERT_EQ(run.Status, 0);
    // "  NAME  what it reaches", a line each.
    std::vector<std::string> names;
    for (std::size_t line = 0; line < run.Out.size(); line = run.Out.find('\n', line) + 1) {
        if (run.Out.compare(line, 2, "  ") == 0)
            names.push_back(run.Out.substr(line + 2, run.Out.find(' ', line + 2) - line - 2));
        if (run.Out.find('\n', line) == std::string::npos)
            break;
    }
    ASSERT_GE(names.size(), 5U) << run.Out;
    const auto isWordCharacter = [](char c) { return std::isalnum(static_cast<unsigned char>(c)); };
    for (const char* file : {"corvane-cli.1.scd", "corvane.1.scd"}) {
        const std::string page = ReadFileBytes(SourceFolder() + "/docs/man/" + file);
        EXPECT_NE(page.find("\n@PUBLISH_TARGETS@\n\n@TARGET_DETAILS@\n"), std::string::npos)
            << file;
        for (const std::string& name : names)
            for (std::size_t at = 0; (at = page.find(name, at)) != std::string::npos;
                 at += name.size())
                EXPECT_FALSE((at == 0 || !isWordCharacter(page[at - 1])) &&
                             !isWordCharacter(page[at + name.size()]))
                    << file << " names " << name << " at: " << page.substr(at, 60);
    }
}

} // namespace
