#pragma once

#include "model/CColumn.h"
#include "model/CProject.h"
#include "model/ColumnInUse.h"
#include "platform/Text.h" // names typed by the user are trimmed with TrimBlanks
#include "platform/XmlDocument.h"

#include <memory>
#include <string>

// What the main window and its dialogs share: the application folder, the one XML document
// object through which every project, column and template file is read and written, and the
// open project (none, or one).
class TWorkspace {
  public:
    // applicationFolder ends with "/" (see ApplicationFolder()).
    explicit TWorkspace(std::string applicationFolder);
    TWorkspace(const TWorkspace&) = delete;
    TWorkspace& operator=(const TWorkspace&) = delete;

    std::string ProjectsFolder() const { return ApplicationFolder + "Projects/"; }
    std::string TemplatesFolder() const { return ApplicationFolder + "Templates/"; }
    // The user manual: Help/Default.htm in the application folder, else the installed copy.
    std::string UserManual() const;

    bool IsOpen() const { return Project != nullptr; }

    const std::string ApplicationFolder;
    TXmlDocument XMLDoc;
    std::unique_ptr<TDProject> Project;
};
