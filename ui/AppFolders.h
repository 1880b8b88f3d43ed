#pragma once

#include <string>

// Where the program keeps its projects, templates and help: the application folder. It is
// the executable's own folder, unless the program is installed (its folder is the install
// prefix's bin folder or cannot be written); then it is the user's data folder
// ($XDG_DATA_HOME/Corvane, else ~/.local/share/Corvane). Every folder name here ends with "/".

// The choice itself, free of the environment so that it can be tested. xdgDataHome and home
// may be null or empty.
std::string ChooseApplicationFolder(const std::string& executableFolder, bool installed,
                                    const char* xdgDataHome, const char* home);

// The bin folder of the install prefix that the program was configured for.
std::string InstallBinFolder();

// True when a program in executableFolder counts as installed: the folder is the install
// prefix's bin folder, or it cannot be written.
bool IsInstalledLocation(const std::string& executableFolder);

// The application folder of the running program (QCoreApplication must exist). Makes the
// data folder when the choice falls on it.
std::string ApplicationFolder();

// The templates that come with the program: Templates beside the executable, or the
// installed copy in the install prefix's data folder (corvane/Templates) when the program is
// installed. The choice itself, free of the environment, and that of the running program.
std::string ChooseBundledTemplatesFolder(const std::string& executableFolder, bool installed);
std::string BundledTemplatesFolder();

// Before QApplication exists: Qt WebEngine cannot use its sandbox when the program runs as
// root, so it is switched off then, and only then.
void PrepareWebEngineEnvironment(bool runningAsRoot);
