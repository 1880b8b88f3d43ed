#include "ui/Workspace.h"

#include "model/CColumn.h"
#include "platform/FileSystem.h"
#include "ui/AppFolders.h"

#include <utility>

TWorkspace::TWorkspace(std::string applicationFolder, std::string bundledTemplatesFolder)
    : ApplicationFolder(std::move(applicationFolder)),
      BundledTemplatesFolder(std::move(bundledTemplatesFolder)) {}

std::vector<TTemplateChoice> TWorkspace::Templates() const {
    std::vector<std::string> folders{TemplatesFolder()};
    if (!BundledTemplatesFolder.empty())
        folders.push_back(BundledTemplatesFolder);
    return FindTemplates(folders);
}

std::string TWorkspace::UserManual() const {
    return UserManualFor(ApplicationFolder);
}
