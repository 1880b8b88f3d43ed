#pragma once

#include <string>
#include <vector>

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

// Where F1 looks for the user manual, in this order (each path only once):
//   1. Help/Default.htm in the application folder;
//   2. Help/Default.htm beside the executable (the copy the build puts there, when the
//      application folder is elsewhere);
//   3. the installed copy, installedManual (the install prefix's data folder,
//      corvane/Help/Default.htm);
//   4. corvane/Help/Default.htm in the XDG data folders: $XDG_DATA_HOME (else
//      ~/.local/share), then each folder of $XDG_DATA_DIRS (else /usr/local/share and
//      /usr/share), in their order. Relative folders are invalid and left out, as the XDG
//      rules say.
// The choice itself, free of the environment; xdgDataHome, xdgDataDirs and home may be null.
std::vector<std::string> UserManualPlaces(const std::string& applicationFolder,
                                          const std::string& executableFolder,
                                          const std::string& installedManual,
                                          const char* xdgDataHome, const char* xdgDataDirs,
                                          const char* home);
// The first of places that is a file; the first place when none is (to name it as missing).
std::string FindUserManual(const std::vector<std::string>& places);
// The user manual of the running program (QCoreApplication must exist), for the given
// application folder.
std::string UserManualFor(const std::string& applicationFolder);

// Before QApplication exists: Qt WebEngine cannot use its sandbox when the program runs as
// root, so it is switched off then, and only then.
void PrepareWebEngineEnvironment(bool runningAsRoot);
