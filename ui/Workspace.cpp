#include "ui/Workspace.h"

#include "model/CColumn.h"
#include "platform/FileSystem.h"

#include <utility>

TWorkspace::TWorkspace(std::string applicationFolder)
    : ApplicationFolder(std::move(applicationFolder)) {}

std::string TWorkspace::UserManual() const {
    std::string beside = ApplicationFolder + "Help/Default.htm";
    if (!FileExists(beside) && FileExists(CORVANE_INSTALLED_MANUAL))
        return CORVANE_INSTALLED_MANUAL;
    return beside;
}
