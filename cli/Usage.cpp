#include "cli/Usage.h"

#include "publish/PublishTarget.h"

#include <deque>
#include <string>
#include <utility>

namespace {

// text with "@TARGETS@" replaced by the targets' names ("FTP, FTPS, SFTP or Folder") and
// "@TARGET_LIST@" by PublishTargetsText.
const char* WithTargets(std::string text) {
    // Made once each, at start-up, and kept for the program's life.
    static std::deque<std::string> texts;
    for (std::size_t at; (at = text.find("@TARGETS@")) != std::string::npos;)
        text.replace(at, 9, PublishTargetNames(" or "));
    for (std::size_t at; (at = text.find("@TARGET_LIST@")) != std::string::npos;)
        text.replace(at, 13, PublishTargetsText());
    // Each target's own sentences.
    for (const auto& [mark, note] : {std::pair<std::string, const char * TTargetWords::*>{
                                         "@PUBLISH_NOTES@", &TTargetWords::PublishNote},
                                     {"@CONNECT_NOTES@", &TTargetWords::ConnectNote}}) {
        std::string notes;
        for (const TPublishTarget* target : PublishTargets())
            notes.append(target->Words.*note);
        for (std::size_t at; (at = text.find(mark)) != std::string::npos;)
            text.replace(at, mark.size(), notes);
    }
    texts.push_back(std::move(text));
    return texts.back().c_str();
}

} // namespace

std::string PublishTargetsText() {
    std::string text;
    for (const TPublishTarget* target : PublishTargets()) {
        std::string line = "  ";
        line.append(target->Name);
        line.append(line.size() < 10 ? 10 - line.size() : 1, ' ');
        line.append(target->Summary);
        text.append(line).push_back('\n');
    }
    return text;
}

const char* const ProgramUsage = WithTargets(
    "Usage: corvane-cli COMMAND ARGUMENT... [OPTION]...\n"
    "       corvane-cli --help | --version\n"
    "Builds and publishes the web site of a Corvane project, and packs a project into one\n"
    "file and unpacks it.\n"
    "\n"
    "Commands:\n"
    "  check PROJECT_FOLDER          open a project and report what it holds\n"
    "  build PROJECT_FOLDER [--into FOLDER]\n"
    "                                build the site (into HTML, or FOLDER)\n"
    "  publish PROJECT_FOLDER [--yes] [--no-build] [--verbose] [--trust FINGERPRINT]\n"
    "          [--dry-run] [--all] [--jobs N] [--break-lock]\n"
    "                                build and upload the site (@TARGETS@)\n"
    "  connect PROJECT_FOLDER [--verbose] [--trust FINGERPRINT]\n"
    "                                test the connection to the server\n"
    "  export PROJECT_FOLDER ARCHIVE_FILE [--force]\n"
    "                                write the project into one archive file (.corvane)\n"
    "  import ARCHIVE_FILE [PROJECT_FOLDER]\n"
    "                                unpack an archive into a new project folder\n"
    "  help [COMMAND]                show this text, or a command's own\n"
    "  help targets                  list the places a site can be published to\n"
    "\n"
    "Options:\n"
    "  -h, --help                    show this text; after a command, the command's own\n"
    "  --version                     print the program's name and version\n"
    "\n"
    "Exit status: 0 on success, 1 when the work failed, 2 for a wrong command line.\n"
    "See corvane-cli(1) for more.\n");

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

const char* const PublishUsage = WithTargets(
    "Usage: corvane-cli publish PROJECT_FOLDER [--yes] [--no-build] [--verbose]\n"
    "                           [--trust FINGERPRINT] [--dry-run] [--all] [--jobs N]\n"
    "                           [--break-lock]\n"
    "Builds the site into the emptied HTML folder and uploads its files with the project's\n"
    "stored settings (@TARGETS@), after asking. A project that synchronises sends\n"
    "only the files that changed since the last publish and deletes from the server the\n"
    "files the site no longer has (more than 50 only when confirmed); others send every\n"
    "file. A certificate or host key that does not verify is refused and its SHA-256\n"
    "fingerprint printed. While it writes, a synchronising publish holds a lock in the\n"
    "remote folder (.corvane-lock); another publish to the folder is refused meanwhile.\n"
    "@PUBLISH_NOTES@"
    "\n"
    "Options:\n"
    "  -y, --yes      publish without asking, deletions above 50 included, also over a\n"
    "                 site that another copy of the project published\n"
    "  --no-build     upload the HTML folder as it stands, without building first\n"
    "  -v, --verbose  show the exchange with the server (the password is never shown)\n"
    "  --trust FINGERPRINT\n"
    "                 trust the certificate or host key with this SHA-256 fingerprint\n"
    "                 (AB:CD:...) for this project, and keep it in the project\n"
    "  -n, --dry-run  print what would be uploaded and deleted; change nothing on the server\n"
    "  --all          send every file, the unchanged ones too\n"
    "  -j, --jobs N   use N connections at once (1 to 8; the project's setting otherwise)\n"
    "  --break-lock   break a lock that a publish left on the server more than 30 minutes\n"
    "                 ago (or whose process on this host is gone)\n"
    "  -h, --help     show this text\n"
    "\n"
    "Targets (the project's protocol):\n"
    "@TARGET_LIST@");

const char* const ConnectUsage = WithTargets(
    "Usage: corvane-cli connect PROJECT_FOLDER [--verbose] [--trust FINGERPRINT]\n"
    "Connects to the project's server with its stored settings, logs in and changes to the\n"
    "folder, uploads nothing, and prints what works and what does not. Exits with 0 when\n"
    "everything works.\n"
    "@CONNECT_NOTES@"
    "\n"
    "Options:\n"
    "  -v, --verbose  show the exchange with the server (the password is never shown)\n"
    "  --trust FINGERPRINT\n"
    "                 trust the certificate or host key with this SHA-256 fingerprint\n"
    "                 (AB:CD:...) for this test; the project is not changed\n"
    "  -h, --help     show this text\n"
    "\n"
    "Targets (the project's protocol):\n"
    "@TARGET_LIST@");

const char* const ExportUsage =
    "Usage: corvane-cli export PROJECT_FOLDER ARCHIVE_FILE [--force]\n"
    "Writes the project into one archive file (a zip file, usually NAME.corvane):\n"
    "Default.Pro without its publishing password, the column documents and the files in\n"
    "Images and Downloads, with a list of their sizes and SHA-256 digests. Temp, HTML and the\n"
    "earlier versions stay behind; sub-folders and links in Images and Downloads are left out\n"
    "and named.\n"
    "\n"
    "Options:\n"
    "  -f, --force    replace ARCHIVE_FILE when it exists\n"
    "  -h, --help     show this text\n";

const char* const ImportUsage =
    "Usage: corvane-cli import ARCHIVE_FILE [PROJECT_FOLDER]\n"
    "Unpacks an archive that export wrote into a new project folder: PROJECT_FOLDER, or the\n"
    "archive's name without .corvane in the current folder. Every entry is checked before the\n"
    "project is put in place (its name, its size and digest against the archive's list, the\n"
    "documents readable); a damaged or hostile archive is refused naming the entry, and\n"
    "nothing is left behind. An existing folder is never written into.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this text\n";

const char* CommandUsage(const std::string& command) {
    if (command == "check")
        return CheckUsage;
    if (command == "build")
        return BuildUsage;
    if (command == "publish")
        return PublishUsage;
    if (command == "connect")
        return ConnectUsage;
    if (command == "export")
        return ExportUsage;
    if (command == "import")
        return ImportUsage;
    return nullptr;
}
