#include "ui/AppFolders.h"

#include <QCoreApplication>
#include <QDir>

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

void PrepareWebEngineEnvironment(bool runningAsRoot) {
    if (runningAsRoot)
        ::setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
}
