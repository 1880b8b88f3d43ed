// corvane-cli build PROJECT_FOLDER [--into FOLDER]: builds the site as the Build command
// does (the HTML folder emptied of its ordinary files first), or into another existing folder
// without deleting anything there.

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectFolder.h"
#include "cli/Usage.h"

#include "generator/Driver.h"
#include "generator/Generator.h"
#include "model/CProject.h"
#include "model/ProjectEditor.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

// A one-line counter on a terminal; nothing when stderr goes elsewhere.
class TProgressLine {
  public:
    TProgressLine() : FShown(::isatty(STDERR_FILENO) == 1) {}
    ~TProgressLine() { Clear(); }
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    TBuildProgress Callback() {
        if (!FShown)
            return {};
        return [this](int column, int columns) {
            std::fprintf(stderr, "\rBuilding column %d/%d", column, columns);
            std::fflush(stderr);
            FDirty = true;
        };
    }
    void Clear() {
        if (FDirty)
            std::fputs("\r\033[K", stderr);
        FDirty = false;
    }

  private:
    bool FShown;
    bool FDirty = false;
};

} // namespace

int RunBuild(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    if (!ParseCommandLine(args, {{"--into", "", true}}, 1, BuildUsage, line, status))
        return status;
    const std::string& projectFolder = line.Arguments[0];
    const bool haveInto = line.Has("--into");
    const std::string into = line.Value("--into");

    std::string folder;
    if (!FindProjectFolder(projectFolder, folder))
        return 1;
    const std::string target = haveInto ? FullPath(into) : folder + "/HTML";
    if (haveInto && !FolderExists(target)) {
        std::fprintf(stderr, "corvane-cli: the output folder %s does not exist\n",
                     ControlCharactersShown(target).c_str());
        return 1;
    }

    TXmlDocument document;
    TBuildStats stats;
    try {
        TDProject project(folder, document);
        // Without --into the build goes where the Build command puts it, over an HTML folder
        // emptied the same way (hidden files such as .htaccess and sub-folders stay).
        if (!haveInto) {
            CheckRealFolder(target);
            TProjectEditor(project).PrepareHTMLFolder();
        }
        TProgressLine progress;
        BuildInto(project, target, &stats, progress.Callback());
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: %s\n", ControlCharactersShown(e.what()).c_str());
        return 1;
    }

    std::printf("Built %s file%s, %s byte%s into %s\n", FormatThousands(stats.Files).c_str(),
                Plural(stats.Files), FormatThousands(stats.Bytes).c_str(), Plural(stats.Bytes),
                ControlCharactersShown(target).c_str());
    if (stats.Homepage.empty())
        std::printf("No homepage: the menu list holds only links\n");
    else
        std::printf("Homepage: %s\n", ControlCharactersShown(stats.Homepage).c_str());
    for (const std::string& note : stats.Notes)
        std::printf("%s\n", ControlCharactersShown(note).c_str());
    if (stats.CopyFailures > 0) {
        std::fprintf(stderr, "corvane-cli: %s\n",
                     ControlCharactersShown(CopyFailureText(stats)).c_str());
        return 1;
    }
    return 0;
}
