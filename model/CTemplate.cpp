#include "model/CTemplate.h"

#include "model/CProject.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <map>

namespace {

// Copies the picture named by reference beside the template as base + suffix + extension
// and returns the copy's file name; an empty reference stays empty.
std::string CopyPictureBesideTemplate(const std::string& imagesPath, const std::string& reference,
                                      const std::string& base, const char* suffix) {
    if (reference.empty())
        return reference;
    std::string name = FileNamePart(reference);
    std::string copy = base + suffix + FileExtension(name);
    CopyFileReplacing(imagesPath + name, copy); // a missing picture is passed over
    return FileNamePart(copy);
}

void TakePictureFromTemplate(TXmlElement root, const char* record, const char* field,
                             const std::string& templateFolder, const std::string& imagesFolder,
                             const char* newName) {
    TXmlElement element = ChildByName(ChildByName(root, record), field);
    if (!element)
        return;
    std::string reference = ElementText(element);
    if (reference.empty())
        return;
    std::string name = FileNamePart(reference);
    std::string extension = FileExtension(name);
    CopyFileReplacing(templateFolder + name, imagesFolder + newName + extension);
    SetElementText(element, newName + extension);
}

} // namespace

std::vector<TTemplateChoice> FindTemplates(const std::vector<std::string>& folders) {
    std::map<std::string, std::string> byName; // ordered as ListFolder orders names
    for (const std::string& folder : folders)
        for (const TFileEntry& entry : ListFolder(folder)) {
            if (!entry.IsRegular || entry.Name[0] == '.' || FileExtension(entry.Name) != ".Tmp")
                continue;
            byName.emplace(WithoutExtension(entry.Name), folder + entry.Name); // first wins
        }
    std::vector<TTemplateChoice> choices;
    choices.reserve(byName.size());
    for (auto& [name, file] : byName)
        choices.push_back({name, file});
    return choices;
}

std::string TemplateFileName(const std::string& chosenPath) {
    if (FileExtension(chosenPath) == ".Tmp")
        return chosenPath;
    return WithoutExtension(chosenPath) + ".Tmp";
}

std::string SaveAsTemplate(TDProject& project, const std::string& chosenPath) {
    std::string fileName = TemplateFileName(chosenPath);
    std::string base = WithoutExtension(fileName);
    std::string background = project.FRAME.BACKGROUND;
    std::string button = project.MENU.BUTTON;
    TXmlDocument& document = *project.Document;
    try {
        project.FRAME.BACKGROUND =
            CopyPictureBesideTemplate(project.ImagesPath(), background, base, "_Background");
        project.MENU.BUTTON =
            CopyPictureBesideTemplate(project.ImagesPath(), button, base, "_Button");
        TEmptyAfterUse empty{document};
        document.New();
        TXmlElement root = document.CreateRoot("TEMPLATE");
        project.FRAME.SaveTemplate(AppendChild(root, "FRAME"));
        project.SIZE.SaveTemplate(AppendChild(root, "SIZE"));
        project.COLOR.SaveTemplate(AppendChild(root, "COLOR"));
        project.FONT.SaveTemplate(AppendChild(root, "FONT"));
        project.LANGUAGE.SaveTemplate(AppendChild(root, "LANGUAGE"));
        project.WELCOME.SaveTemplate(AppendChild(root, "WELCOME"));
        project.TOPIC.SaveTemplate(AppendChild(root, "TOPIC"));
        project.MENU.SaveTemplate(AppendChild(root, "MENU"));
        project.HOTSPOT.SaveTemplate(AppendChild(root, "HOTSPOT"));
        project.FOOT.SaveTemplate(AppendChild(root, "FOOT"));
        project.OPTIONS.SaveTemplate(AppendChild(root, "OPTIONS"));
        document.SaveToFile(fileName);
    } catch (...) {
        project.FRAME.BACKGROUND = background;
        project.MENU.BUTTON = button;
        throw;
    }
    project.FRAME.BACKGROUND = background;
    project.MENU.BUTTON = button;
    return fileName;
}

void ApplyTemplate(TXmlDocument& document, const std::string& templateFile,
                   const std::string& projectFolder) {
    document.Load(templateFile);
    try {
        TXmlElement root = document.Root();
        std::string templateFolder = FolderPart(templateFile);
        std::string imagesFolder = projectFolder + "/Images/";
        TakePictureFromTemplate(root, "FRAME", "BACKGROUND", templateFolder, imagesFolder,
                                "Background");
        TakePictureFromTemplate(root, "MENU", "BUTTON", templateFolder, imagesFolder, "Button");
    } catch (const TError& e) {
        document.Clear();
        throw e.InFile(templateFile);
    }
}
