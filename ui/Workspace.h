#pragma once

#include "generator/Driver.h"
#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/CTemplate.h"
#include "model/ColumnInUse.h"
#include "platform/Text.h" // names typed by the user are trimmed with TrimBlanks
#include "platform/XmlDocument.h"

#include <memory>
#include <string>
#include <vector>

// What the main window and its dialogs share: the application folder, the one XML document
// object through which every project, column and template file is read and written, and the
// open project (none, or one).
class TWorkspace {
  public:
    // Both folders end with "/" (see ApplicationFolder() and BundledTemplatesFolder()); an
    // empty bundledTemplatesFolder means that the program brings no templates of its own.
    explicit TWorkspace(std::string applicationFolder, std::string bundledTemplatesFolder = {});
    TWorkspace(const TWorkspace&) = delete;
    TWorkspace& operator=(const TWorkspace&) = delete;

    std::string ProjectsFolder() const { return ApplicationFolder + "Projects/"; }
    // The user's own templates: Save As Template writes here.
    std::string TemplatesFolder() const { return ApplicationFolder + "Templates/"; }
    // The templates a new project can start from: the user's and the bundled ones, by
    // name; the user's folder wins on a name clash.
    std::vector<TTemplateChoice> Templates() const;
    // The user manual: Help/Default.htm in the application folder, else the first copy
    // found beside the program, installed or in the XDG data folders (ui/AppFolders.h).
    std::string UserManual() const;

    bool IsOpen() const { return Project != nullptr; }

    const std::string ApplicationFolder;
    const std::string BundledTemplatesFolder;
    TXmlDocument XMLDoc;
    std::unique_ptr<TDProject> Project;
    // What the last build into the HTML folder wrote, for the Build dialog's summary.
    TBuildStats LastBuild;
    // What the last build into the HTML folder had to tell (why an option wrote nothing);
    // the Build dialog shows it.
    std::vector<std::string> BuildNotes;
    // The template file the next New dialog starts with chosen (the start page's template
    // entries); empty for none.
    std::string NewProjectTemplate;
};
