// The modern design's entries for the build driver.

#include "generator/modern/ModernSite.h"

#include "generator/BuildState.h"
#include "generator/modern/ModernPage.h"
#include "generator/modern/ModernStyleSheet.h"
#include "generator/modern/SiteIcon.h"

#include "platform/Error.h"

#include <cstdint>
#include <string>
#include <utility>

namespace {

// Writes one file beside the pages through the output, which leaves a file with the same
// bytes alone; an error names the file.
template <typename TWriter>
void WriteSiteFile(TDProject& project, const std::string& name, TWriter writer) {
    const std::string fileName = project.OutputFolder + "/" + name;
    const std::uint64_t before = project.Output.TotalBytes();
    try {
        project.Output.Open(fileName);
        writer();
        project.Output.Close();
    } catch (const TError& e) {
        project.Output.Abandon();
        throw e.InFile(fileName);
    }
    if (project.BuildState)
        project.BuildState->Record(
            name, static_cast<std::int64_t>(project.Output.TotalBytes() - before), {});
}

} // namespace

void WriteModernPage(TDProject& project) {
    TModernPage(project, false).Write();
}

void WriteModernSiteFiles(TDProject& project, bool notFoundPage) {
    WriteSiteFile(project, ModernStyleSheetName,
                  [&] { project.Output.Write(TModernStyleSheet(project).Text()); });
    WriteSiteFile(project, SiteIconName, [&] { project.Output.Write(SiteIconSvg(project)); });
    if (HasLogoIcons(project)) {
        for (const auto& [name, side] : {std::pair{LogoIconName, LogoIconSide},
                                         std::pair{LogoTouchIconName, LogoTouchIconSide}}) {
            std::string png;
            try {
                png = LogoIconPng(project, side);
            } catch (const TError& e) {
                // A logo whose pixels are damaged: the pages link an icon that is not there,
                // which the build reports as a copy that failed.
                if (project.BuildState && project.BuildState->CopyFailures++ == 0)
                    project.BuildState->FirstCopyFailure = std::string(name) + ": " + e.Message();
                continue;
            }
            WriteSiteFile(project, name, [&] { project.Output.Write(png); });
        }
    }
    if (notFoundPage)
        WriteSiteFile(project, "404.html", [&] { TModernPage(project, true).Write(); });
}
