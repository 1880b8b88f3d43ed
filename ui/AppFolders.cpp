#include "ui/AppFolders.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace {

std::string WithSeparator(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string ChooseApplicationFolder(const std::string& executableFolder, bool installed,
                                    const char* xdgDataHome, const char* home) {
    if (!installed)
        return WithSeparator(executableFolder);
    // The XDG rules: a relative $XDG_DATA_HOME is invalid and ignored.
    if (xdgDataHome && xdgDataHome[0] == '/')
        return WithSeparator(xdgDataHome) + "Corvane/";
    if (home && home[0] != '\0')
        return WithSeparator(home) + ".local/share/Corvane/";
    return WithSeparator(executableFolder);
}

std::string InstallBinFolder() {
    return CORVANE_INSTALL_BINDIR;
}

bool IsInstalledLocation(const std::string& executableFolder) {
    const QString installBin = QDir::cleanPath(QString::fromStdString(InstallBinFolder()));
    const QString folder = QDir::cleanPath(QString::fromStdString(executableFolder));
    if (folder == installBin)
        return true;
    return ::access(executableFolder.c_str(), W_OK) != 0;
}

std::string ApplicationFolder() {
    const std::string executableFolder = QCoreApplication::applicationDirPath().toStdString();
    const bool installed = IsInstalledLocation(executableFolder);
    std::string folder = ChooseApplicationFolder(executableFolder, installed,
                                                 std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (installed)
        QDir().mkpath(QString::fromStdString(folder));
    return folder;
}

std::string ChooseBundledTemplatesFolder(const std::string& executableFolder, bool installed) {
    if (installed)
        return CORVANE_INSTALLED_TEMPLATES;
    return WithSeparator(executableFolder) + "Templates/";
}

std::string BundledTemplatesFolder() {
    const std::string executableFolder = QCoreApplication::applicationDirPath().toStdString();
    return ChooseBundledTemplatesFolder(executableFolder, IsInstalledLocation(executableFolder));
}

std::vector<std::string> UserManualPlaces(const std::string& applicationFolder,
                                          const std::string& executableFolder,
                                          const std::string& installedManual,
                                          const char* xdgDataHome, const char* xdgDataDirs,
                                          const char* home) {
    const std::string inData = "corvane/Help/Default.htm";
    std::vector<std::string> places;
    auto add = [&places](const std::string& place) {
        if (!place.empty() && std::find(places.begin(), places.end(), place) == places.end())
            places.push_back(place);
    };
    add(WithSeparator(applicationFolder) + "Help/Default.htm");
    if (!executableFolder.empty())
        add(WithSeparator(executableFolder) + "Help/Default.htm");
    add(installedManual);
    if (xdgDataHome && xdgDataHome[0] == '/')
        add(WithSeparator(xdgDataHome) + inData);
    else if (home && home[0] != '\0')
        add(WithSeparator(home) + ".local/share/" + inData);
    const std::string dirs = xdgDataDirs && xdgDataDirs[0] != '\0'
                                 ? std::string(xdgDataDirs)
                                 : "/usr/local/share/:/usr/share/";
    std::size_t begin = 0;
    while (begin <= dirs.size()) {
        std::size_t end = dirs.find(':', begin);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = dirs.substr(begin, end - begin);
        if (!dir.empty() && dir[0] == '/')
            add(WithSeparator(dir) + inData);
        begin = end + 1;
    }
    return places;
}

std::string FindUserManual(const std::vector<std::string>& places) {
    for (const std::string& place : places)
        if (FileExists(place))
            return place;
    return places.empty() ? std::string() : places.front();
}

std::string UserManualFor(const std::string& applicationFolder) {
    const std::string executableFolder = QCoreApplication::instance()
                                             ? QCoreApplication::applicationDirPath().toStdString()
                                             : std::string();
    return FindUserManual(UserManualPlaces(applicationFolder, executableFolder,
                                           CORVANE_INSTALLED_MANUAL, std::getenv("XDG_DATA_HOME"),
                                           std::getenv("XDG_DATA_DIRS"), std::getenv("HOME")));
}

void PrepareWebEngineEnvironment(bool runningAsRoot) {
    if (runningAsRoot)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}
