#include "cli/ProjectFolder.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

std::string FullPath(const std::string& folder) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(folder, error);
    if (error)
        path = folder;
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

bool FindProjectFolder(const std::string& given, std::string& folder) {
    folder = FullPath(given);
    if (!FolderExists(folder)) {
        std::fprintf(stderr, "corvane-cli: %s is not a folder\n",
                     ControlCharactersShown(folder).c_str());
        return false;
    }
    if (!FileExists(folder + "/Default.Pro")) {
        std::fprintf(stderr, "corvane-cli: %s holds no project document (Default.Pro)\n",
                     ControlCharactersShown(folder).c_str());
        return false;
    }
    return true;
}

std::unique_ptr<TDProject> OpenProject(const std::string& given, TXmlDocument& document,
                                       TDProject::TOpening opening) {
    std::string folder;
    if (!FindProjectFolder(given, folder))
        return nullptr;
    try {
        return std::make_unique<TDProject>(folder, document, "", opening);
    } catch (const TError& e) {
        std::fprintf(stderr, "corvane-cli: the project cannot be opened: %s\n",
                     ControlCharactersShown(e.what()).c_str());
        return nullptr;
    }
}
