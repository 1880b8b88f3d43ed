#include "cli/Usage.h"

const char* const ProgramUsage =
    "Usage: corvane-cli COMMAND PROJECT_FOLDER [OPTION]...\n"
    "       corvane-cli --help | --version\n"
    "Builds and publishes the web site of a Corvane project.\n"
    "\n"
    "Commands:\n"
    "  check PROJECT_FOLDER          open a project and report what it holds\n"
    "  build PROJECT_FOLDER [--into FOLDER]\n"
    "                                build the site (into HTML, or FOLDER)\n"
    "  publish PROJECT_FOLDER [--yes] [--no-build] [--verbose]\n"
    "                                build and upload the site by FTP\n"
    "  help [COMMAND]                show this text, or a command's own\n"
    "\n"
    "Options:\n"
    "  -h, --help                    show this text; after a command, the command's own\n"
    "  --version                     print the program's name and version\n"
    "\n"
    "Exit status: 0 on success, 1 when the work failed, 2 for a wrong command line.\n"
    "See corvane-cli(1) for more.\n";

const char* const CheckUsage =
    "Usage: corvane-cli check PROJECT_FOLDER\n"
    "Opens the project and each column document and reports the number of menu items,\n"
    "columns, links and pages, the column documents that cannot be read, and the pictures\n"
    "and downloads that the project names but that are missing. Exits with 0 when the\n"
    "project and every column document can be read.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this text\n";

const char* const BuildUsage =
    "Usage: corvane-cli build PROJECT_FOLDER [--into FOLDER]\n"
    "Builds the site into the project's HTML folder, emptied of its ordinary files first\n"
    "(hidden files and sub-folders stay), and prints the number of files and bytes and the\n"
    "homepage.\n"
    "\n"
    "Options:\n"
    "  --into FOLDER  build into FOLDER instead, an existing folder, deleting nothing there\n"
    "  -h, --help     show this text\n";

const char* const PublishUsage =
    "Usage: corvane-cli publish PROJECT_FOLDER [--yes] [--no-build] [--verbose]\n"
    "Builds the site into the emptied HTML folder and uploads its files by FTP with the\n"
    "project's stored settings, after asking.\n"
    "\n"
    "Options:\n"
    "  -y, --yes      publish without asking\n"
    "  --no-build     upload the HTML folder as it stands, without building first\n"
    "  -v, --verbose  show the FTP exchange (the password is never shown)\n"
    "  -h, --help     show this text\n";

const char* CommandUsage(const std::string& command) {
    if (command == "check")
        return CheckUsage;
    if (command == "build")
        return BuildUsage;
    if (command == "publish")
        return PublishUsage;
    return nullptr;
}
