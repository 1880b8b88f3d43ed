#pragma once

#include "model/CColor.h"
#include "model/CFont.h"
#include "model/CFoot.h"
#include "model/CFrame.h"
#include "model/CHotspot.h"
#include "model/CLanguage.h"
#include "model/CMenu.h"
#include "model/CMenuItem.h"
#include "model/COptions.h"
#include "model/CPublish.h"
#include "model/CSize.h"
#include "model/CTopic.h"
#include "model/CWelcome.h"
#include "platform/OutputFile.h"
#include "platform/XmlDocument.h"

#include <array>
#include <memory>
#include <string>

// The generator's state of the build in progress (generator/BuildState.h).
struct TBuildState;

// The open project: the records of Default.Pro, the menu list, the paths of the project's
// folders, and the generator's working state. Every change to the menu list is written to
// Default.Pro at once.
class TDProject {
  public:
    static constexpr int Capacity = 100;

    // How a project is opened: to work on it, or only to read it (nothing is made, removed
    // or written in its folder; Default.Pro must be there).
    enum class TOpening { Work, Inspect };

    // Opens the project in folder (making its sub-folders and, when missing, Default.Pro,
    // from the template file when one is given). Throws TError naming the file that failed.
    TDProject(const std::string& folder, TXmlDocument& document,
              const std::string& templateFile = "", TOpening opening = TOpening::Work);
    TDProject(const TDProject&) = delete;
    TDProject& operator=(const TDProject&) = delete;

    std::string PreviewFile() const;
    std::string ImagesPath() const;
    std::string DownloadsPath() const;
    std::string HTMLPath() const;
    std::string ProjectFile() const;
    // The column document of menu item index. Only the file-name part of the item's COLUMN
    // is used, so a hand-edited name never reaches outside the project folder.
    std::string ColumnFile(int index) const;
    // The name the next new column will get: the smallest free "Column%d.Clm".
    std::string NextColumnName() const;

    // Adds a column or a link at the end; none when the list is full.
    TDMenuItem* AddMenuItem(bool isLink);
    void RemoveMenuItem(int index);
    void MoveMenuItemUp(int index);
    void MoveMenuItemDown(int index);
    // Rewrites Default.Pro from the records, keeping its declaration and root name.
    void Save();
    // Makes the language table fit the design: a Modern project's table gets the Modern
    // pages' words in the site's language, a Classic one's loses them. Opening a Modern
    // project whose table lacks them does the first in memory.
    void FitLanguageToDesign();

    TDMenuItem& MenuItem(int index) { return *MENULIST[static_cast<std::size_t>(index)]; }
    const TDMenuItem& MenuItem(int index) const {
        return *MENULIST[static_cast<std::size_t>(index)];
    }

    std::string Folder;
    TXmlDocument* Document;

    // The generator's working state.
    TOutputFile Output;
    std::string PageName;
    std::string OutputFolder;
    TBuildState* BuildState = nullptr; // none outside a build

    TDFrame FRAME;
    TDSize SIZE;
    TDColor COLOR;
    TDFont FONT;
    TDLanguage LANGUAGE;
    TDWelcome WELCOME;
    TDTopic TOPIC;
    std::array<std::unique_ptr<TDMenuItem>, Capacity> MENULIST;
    int MenuCount = 0;
    int CurrentItem = -1;
    TDMenu MENU;
    TDHotspot HOTSPOT;
    TDFoot FOOT;
    TDPublish PUBLISH;
    TDOptions OPTIONS;
};
