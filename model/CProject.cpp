#include "model/CProject.h"

#include "model/CTemplate.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

#include <utility>

namespace {

// The project document holds the FTP password: a new one is for its owner only.
constexpr unsigned ProjectFileMode = 0600;

void WriteEmptyDocument(TXmlDocument& document, const char* root, const std::string& fileName,
                        unsigned newFileMode = 0666) {
    TEmptyAfterUse empty{document};
    document.New();
    document.CreateRoot(root);
    document.SaveToFile(fileName, newFileMode);
}

// Removes the temporary files that an interrupted save of the project document or of a
// column document left in the project folder (they may hold the password); nothing else.
void RemoveLeftoverTemporaries(const std::string& folder) {
    for (const TFileEntry& entry : ListFolder(folder)) {
        if (!entry.IsRegular)
            continue;
        const std::size_t column = entry.Name.rfind(".Clm.~");
        if (IsLeftoverTemporaryOf(entry.Name, "Default.Pro") ||
            (column != std::string::npos && column > 0 &&
             IsLeftoverTemporaryOf(entry.Name, entry.Name.substr(0, column + 4))))
            DeleteFileQuietly(folder + "/" + entry.Name);
    }
}

} // namespace

TDProject::TDProject(const std::string& folder, TXmlDocument& document,
                     const std::string& templateFile, TOpening opening)
    : Folder(folder), Document(&document) {
    const bool work = opening == TOpening::Work;
    if (work) {
        MakeFolder(Folder + "/HTML");
        MakeFolder(Folder + "/Temp");
        MakeFolder(Folder + "/Images");
        MakeFolder(Folder + "/Downloads");
        RemoveLeftoverTemporaries(Folder);
    }

    std::string projectFile = ProjectFile();
    if (work && !FileExists(projectFile)) {
        if (!templateFile.empty()) {
            TEmptyAfterUse empty{document};
            ApplyTemplate(document, templateFile, Folder);
            document.SaveToFile(projectFile, ProjectFileMode);
        } else {
            WriteEmptyDocument(document, "PROJECT", projectFile, ProjectFileMode);
        }
    }

    TEmptyAfterUse empty{document};
    try {
        document.Load(projectFile);
        TXmlElement root = document.Root();
        FRAME = TDFrame(ChildByName(root, "FRAME"));
        SIZE = TDSize(ChildByName(root, "SIZE"));
        COLOR = TDColor(ChildByName(root, "COLOR"));
        FONT = TDFont(ChildByName(root, "FONT"));
        LANGUAGE = TDLanguage(ChildByName(root, "LANGUAGE"));
        WELCOME = TDWelcome(ChildByName(root, "WELCOME"));
        TOPIC = TDTopic(ChildByName(root, "TOPIC"));
        MenuCount = 0;
        if (TXmlElement list = ChildByName(root, "MENULIST")) {
            // A hand-edited list longer than the menu can hold: only the first 100 count.
            for (TXmlElement node : ChildNodes(list)) {
                if (MenuCount >= Capacity)
                    break;
                MENULIST[static_cast<std::size_t>(MenuCount)] = std::make_unique<TDMenuItem>(node);
                ++MenuCount;
            }
        }
        CurrentItem = -1;
        MENU = TDMenu(ChildByName(root, "MENU"));
        HOTSPOT = TDHotspot(ChildByName(root, "HOTSPOT"));
        FOOT = TDFoot(ChildByName(root, "FOOT"));
        PUBLISH = TDPublish(ChildByName(root, "PUBLISH"));
        OPTIONS = TDOptions(ChildByName(root, "OPTIONS"));
        if (OPTIONS.IsModern())
            FitLanguageToDesign();
    } catch (const TError& e) {
        throw e.InFile(projectFile);
    }
}

void TDProject::FitLanguageToDesign() {
    LANGUAGE.FitDesign(OPTIONS.IsModern(), OPTIONS.SITE_LANGUAGE);
}

std::string TDProject::PreviewFile() const {
    return Folder + "/Temp/" + FRAME.HOMEPAGE + ".htm";
}
std::string TDProject::ImagesPath() const {
    return Folder + "/Images/";
}
std::string TDProject::DownloadsPath() const {
    return Folder + "/Downloads/";
}
std::string TDProject::HTMLPath() const {
    return Folder + "/HTML/";
}
std::string TDProject::ProjectFile() const {
    return Folder + "/Default.Pro";
}

std::string TDProject::ColumnFile(int index) const {
    return Folder + "/" + FileNamePart(MenuItem(index).COLUMN);
}

std::string TDProject::NextColumnName() const {
    for (int n = 1;; ++n) {
        std::string name = "Column" + std::to_string(n) + ".Clm";
        bool used = false;
        // A column is read from the file-name part of its name ("./Column1.Clm",
        // "old\\Column1.Clm" and "C:Column1.Clm" all read Column1.Clm): that part is the one
        // in use.
        for (int i = 0; i < MenuCount && !used; ++i)
            used = FileNamePart(MenuItem(i).COLUMN) == name;
        if (!used)
            return name;
    }
}

TDMenuItem* TDProject::AddMenuItem(bool isLink) {
    if (MenuCount >= Capacity)
        return nullptr;
    std::string columnName = NextColumnName();
    auto item = std::make_unique<TDMenuItem>();
    if (isLink) {
        item->TITLE = "New Link";
        item->COLUMN.clear();
        item->URL = "http://";
    } else {
        item->TITLE = "New Column";
        item->COLUMN = columnName;
        item->STYLE = "Title list with summary";
        item->URL.clear();
        WriteEmptyDocument(*Document, "COLUMN", Folder + "/" + columnName);
    }
    TDMenuItem* result = item.get();
    MENULIST[static_cast<std::size_t>(MenuCount)] = std::move(item);
    ++MenuCount;
    Save();
    return result;
}

void TDProject::RemoveMenuItem(int index) {
    if (index < 0 || index >= MenuCount)
        return;
    for (int i = index; i < MenuCount - 1; ++i)
        MENULIST[static_cast<std::size_t>(i)] =
            std::move(MENULIST[static_cast<std::size_t>(i + 1)]);
    MENULIST[static_cast<std::size_t>(MenuCount - 1)].reset();
    --MenuCount;
    Save();
}

void TDProject::MoveMenuItemUp(int index) {
    if (index < 1 || index >= MenuCount)
        return;
    std::swap(MENULIST[static_cast<std::size_t>(index - 1)],
              MENULIST[static_cast<std::size_t>(index)]);
    Save();
}

void TDProject::MoveMenuItemDown(int index) {
    if (index < 0 || index >= MenuCount - 1)
        return;
    std::swap(MENULIST[static_cast<std::size_t>(index)],
              MENULIST[static_cast<std::size_t>(index + 1)]);
    Save();
}

void TDProject::Save() {
    std::string projectFile = ProjectFile();
    TEmptyAfterUse empty{*Document};
    try {
        Document->Load(projectFile);
        TXmlElement root = Document->Root();
        RemoveAllChildren(root);
        FRAME.Save(AppendChild(root, "FRAME"));
        SIZE.Save(AppendChild(root, "SIZE"));
        COLOR.Save(AppendChild(root, "COLOR"));
        FONT.Save(AppendChild(root, "FONT"));
        LANGUAGE.Save(AppendChild(root, "LANGUAGE"));
        WELCOME.Save(AppendChild(root, "WELCOME"));
        TOPIC.Save(AppendChild(root, "TOPIC"));
        TXmlElement list = AppendChild(root, "MENULIST");
        for (int i = 0; i < MenuCount; ++i)
            MenuItem(i).Save(AppendChild(list, "MENUITEM"));
        MENU.Save(AppendChild(root, "MENU"));
        HOTSPOT.Save(AppendChild(root, "HOTSPOT"));
        FOOT.Save(AppendChild(root, "FOOT"));
        PUBLISH.Save(AppendChild(root, "PUBLISH"));
        OPTIONS.Save(AppendChild(root, "OPTIONS"));
        Document->SaveToFile(projectFile, ProjectFileMode);
    } catch (const TError& e) {
        throw e.InFile(projectFile);
    }
}
