// corvane-cli export PROJECT_FOLDER FILE and corvane-cli import FILE [FOLDER]: a project in
// one file, written and read as File > Export Project... and Import Project... do.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectFolder.h"
#include "cli/Usage.h"

#include "model/ProjectArchive.h"
#include "platform/Error.h"
#include "platform/Locale.h"
#include "platform/Text.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char* Plural(std::int64_t count) {
    return count == 1 ? "" : "s";
}

} // namespace

int RunExport(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    if (!ParseCommandLine(args, {{"--force", "-f", false}}, {"project folder", "archive file"}, 2,
                          ExportUsage, line, status))
        return status;
    std::string folder;
    if (!FindProjectFolder(line.Arguments[0], folder))
        return 1;
    const std::string archive = FullPath(line.Arguments[1]);
    TArchiveSummary summary;
    try {
        summary = ExportProject(folder, archive, line.Has("--force"));
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.what()).c_str());
        return 1;
    }
    std::printf("Exported %s file%s, %s byte%s into %s\n", FormatThousands(summary.Files).c_str(),
                Plural(summary.Files), FormatThousands(summary.Bytes).c_str(),
                Plural(summary.Bytes), ControlCharactersShown(archive).c_str());
    for (const std::string& left : summary.LeftOut)
        std::printf("Left out: %s\n", ControlCharactersShown(left).c_str());
    return 0;
}

int RunImport(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    if (!ParseCommandLine(args, {}, {"archive file", "project folder"}, 1, ImportUsage, line,
                          status))
        return status;
    const std::string archive = FullPath(line.Arguments[0]);
    // Without a folder the project goes into the current folder, named as the archive is.
    const std::string folder =
        FullPath(line.Arguments.size() > 1 ? line.Arguments[1] : ArchiveProjectName(archive));
    TArchiveSummary summary;
    try {
        summary = ImportProject(archive, folder);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.what()).c_str());
        return 1;
    }
    std::printf("Imported %s file%s, %s byte%s into %s\n", FormatThousands(summary.Files).c_str(),
                Plural(summary.Files), FormatThousands(summary.Bytes).c_str(),
                Plural(summary.Bytes), ControlCharactersShown(folder).c_str());
    return 0;
}
