#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/ProjectFolder.h"
#include "cli/Usage.h"

#include "generator/MarkdownRenderer.h"
#include "generator/SiteTextTargets.h"
#include "generator/modern/TypedHtml.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/XmlDocument.h"

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

struct TMissing {
    std::string Where;
    std::string Name;
    bool NotPlain = false; // there, but a link, a FIFO or anything else that is not copied
};

void Need(std::vector<TMissing>& missing, const std::string& folder, const std::string& name,
          const std::string& where) {
    if (name.empty())
        return;
    const std::string path = folder + FileNamePart(name);
    if (IsPlainFile(path))
        return;
    struct stat st {};
    missing.push_back({where, name, ::lstat(path.c_str(), &st) == 0});
}

// What a text names that is not there (pages, downloads, pictures) and the raw HTML a
// Markdown text shows as text, in the words of the build's notes. A text typed as it is names
// the site's files only on the modern pages, which read its links as the build does.
void CheckText(TSiteTextTargets& targets, std::vector<std::string>& problems,
               const TDProject& project, bool markdown, const std::string& text,
               const std::string& owner) {
    targets.SetOwner(owner);
    if (!markdown) {
        if (project.OPTIONS.IsModern())
            TTypedHtml(targets).Html(text);
        return;
    }
    TMarkdownRenderer(targets).Html(text);
    const std::string raw = TMarkdownRenderer::FirstRawHtml(text);
    if (!raw.empty()) {
        std::string problem = owner;
        problem.append(" shows raw HTML as text: '").append(raw).append("'.");
        problems.push_back(std::move(problem));
    }
}

std::string OwnerOf(const TDPage& page) {
    std::string owner = "Page '";
    owner.append(page.TITLE).append(1, '\'');
    return owner;
}

} // namespace

int RunCheck(const std::vector<std::string>& args) {
    TCommandLine line;
    int status = 0;
    if (!ParseCommandLine(args, {}, 1, CheckUsage, line, status))
        return status;
    TXmlDocument document;
    // Only read: the check makes no folder and writes nothing in the project.
    std::unique_ptr<TDProject> project =
        OpenProject(line.Arguments[0], document, TDProject::TOpening::Inspect);
    if (!project)
        return 1;

    std::vector<TMissing> pictures, downloads;
    std::vector<std::string> badColumns;
    int columns = 0, links = 0, pages = 0;
    const std::string images = project->ImagesPath(), files = project->DownloadsPath();
    Need(pictures, images, project->FRAME.BACKGROUND, "background picture");
    Need(pictures, images, project->TOPIC.LOGO, "logo");
    Need(pictures, images, project->MENU.BUTTON, "menu button");
    Need(pictures, images, project->HOTSPOT.PICTURE, "hotspot picture");
    if (!project->HOTSPOT.LINK.empty() && project->HOTSPOT.KIND == "Download")
        Need(downloads, files, project->HOTSPOT.URL, "hotspot download");

    // The texts' links are only looked at: nothing is copied.
    TSiteTextTargets targets(*project, false);
    std::vector<std::string> rawHtml;
    CheckText(targets, rawHtml, *project, project->HOTSPOT.IsMarkdown(), project->HOTSPOT.TEXT,
              "The hotspot");

    for (int i = 0; i < project->MenuCount; ++i) {
        const TDMenuItem& item = project->MenuItem(i);
        if (!item.IsColumn()) {
            ++links;
            continue;
        }
        ++columns;
        try {
            TDColumn column(project->ColumnFile(i), document);
            pages += column.PageCount;
            for (int j = 0; j < column.PageCount; ++j) {
                const TDPage& page = column.Page(j);
                std::string where = "page \"" + page.TITLE + "\" of column \"" + item.TITLE + "\"";
                Need(pictures, images, page.PICTURE, where);
                if (!page.LINK.empty() && page.KIND == "Download")
                    Need(downloads, files, page.URL, where);
                CheckText(targets, rawHtml, *project, page.IsMarkdown(), page.TEXT, OwnerOf(page));
            }
        } catch (const TError& e) {
            badColumns.push_back("column \"" + item.TITLE + "\": " + e.what());
        }
    }

    std::printf("Project %s\n", ControlCharactersShown(project->Folder).c_str());
    std::printf("  %d menu item%s: %d column%s, %d link%s\n", project->MenuCount,
                project->MenuCount == 1 ? "" : "s", columns, columns == 1 ? "" : "s", links,
                links == 1 ? "" : "s");
    std::printf("  %d page%s in all columns\n", pages, pages == 1 ? "" : "s");
    // Names from the project reach the terminal with their control characters as "?".
    std::printf("  homepage: %s.htm, layout \"%s\"\n",
                ControlCharactersShown(project->FRAME.HOMEPAGE).c_str(),
                ControlCharactersShown(project->FRAME.FRAME).c_str());
    // A build refuses a homepage name that is no plain file name: so does the check.
    const bool badHomepage = !IsPlainFileName(project->FRAME.HOMEPAGE);
    if (badHomepage)
        std::printf("  the homepage name \"%s\" is not a plain file name\n",
                    ControlCharactersShown(project->FRAME.HOMEPAGE).c_str());
    for (const std::string& bad : badColumns)
        std::printf("  unreadable %s\n", ControlCharactersShown(bad).c_str());
    auto report = [](const TMissing& m, const char* kind, const char* folder) {
        if (m.NotPlain)
            std::printf("  %s %s (%s) in %s is not a plain file\n", kind,
                        ControlCharactersShown(m.Name).c_str(),
                        ControlCharactersShown(m.Where).c_str(), folder);
        else
            std::printf("  missing %s %s (%s) in %s\n", kind,
                        ControlCharactersShown(m.Name).c_str(),
                        ControlCharactersShown(m.Where).c_str(), folder);
    };
    for (const TMissing& m : pictures)
        report(m, "picture", "Images");
    for (const TMissing& m : downloads)
        report(m, "download", "Downloads");
    for (const std::string& problem : targets.Problems())
        std::printf("  %s\n", ControlCharactersShown(problem).c_str());
    for (const std::string& problem : rawHtml)
        std::printf("  %s\n", ControlCharactersShown(problem).c_str());
    if (badColumns.empty() && pictures.empty() && downloads.empty() && !badHomepage &&
        targets.Problems().empty() && rawHtml.empty())
        std::printf("  everything the project names is in place\n");
    return badColumns.empty() && !badHomepage ? 0 : 1;
}
