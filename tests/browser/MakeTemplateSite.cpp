// A site of a bundled template for the browser checks: a new project made from the template
// (as File > New makes it), given the sample's content: its menu, columns, pictures,
// downloads and the texts of the topic, the hotspot and the foot (each keeping the
// template's position). Usage: corvane-browser-template-site TEMPLATE SAMPLE FOLDER (FOLDER
// must not exist).

#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

// Copies the files of one sub-folder of the sample that the new project lacks.
void CopyMissing(const fs::path& from, const fs::path& into) {
    for (const auto& entry : fs::directory_iterator(from))
        if (entry.is_regular_file() && !fs::exists(into / entry.path().filename()))
            fs::copy_file(entry.path(), into / entry.path().filename());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("Usage: corvane-browser-template-site TEMPLATE SAMPLE FOLDER\n", stderr);
        return 2;
    }
    const std::string templateFile = argv[1], sampleFolder = argv[2], folder = argv[3];
    try {
        if (fs::exists(folder))
            throw TError(folder + " exists already");
        fs::create_directories(folder);
        TXmlDocument document;
        const TDProject sample(sampleFolder, document, "", TDProject::TOpening::Inspect);
        TDProject project(folder, document, templateFile);
        CopyMissing(fs::path(sampleFolder) / "Images", project.ImagesPath());
        CopyMissing(fs::path(sampleFolder) / "Downloads", project.DownloadsPath());
        for (int i = 0; i < sample.MenuCount; ++i) {
            const TDMenuItem& item = sample.MenuItem(i);
            project.MENULIST[static_cast<std::size_t>(i)] = std::make_unique<TDMenuItem>(item);
            if (item.IsColumn())
                fs::copy_file(sample.ColumnFile(i), project.ColumnFile(i));
        }
        project.MenuCount = sample.MenuCount;
        const std::string topic = project.TOPIC.POSITION, hotspot = project.HOTSPOT.POSITION,
                          foot = project.FOOT.POSITION;
        project.TOPIC = sample.TOPIC;
        project.TOPIC.POSITION = topic;
        project.HOTSPOT = sample.HOTSPOT;
        project.HOTSPOT.POSITION = hotspot;
        project.FOOT = sample.FOOT;
        project.FOOT.POSITION = foot;
        project.Save();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "corvane-browser-template-site: %s\n", e.what());
        return 1;
    }
    return 0;
}
