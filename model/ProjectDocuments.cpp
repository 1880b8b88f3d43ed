#include "model/ProjectDocuments.h"

#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <algorithm>
#include <cctype>

namespace {

void AddName(std::vector<std::string>& names, const std::string& name) {
    if (IsDocumentName(name) && std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(name);
}

} // namespace

bool IsColumnDocumentName(const std::string& name) {
    static const std::string extension = ".clm";
    if (name.size() <= extension.size() || name[0] == '.')
        return false;
    for (std::size_t i = 0; i < extension.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(name[name.size() - extension.size() + i])) !=
            extension[i])
            return false;
    return true;
}

bool IsDocumentName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

std::vector<std::string> ProjectDocumentNames(const TDProject& project) {
    std::vector<std::string> names;
    AddName(names, FileNamePart(project.ProjectFile()));
    for (int i = 0; i < project.MenuCount; ++i)
        if (project.MenuItem(i).IsColumn())
            AddName(names, FileNamePart(project.ColumnFile(i)));
    for (const TFileEntry& entry : ListFolder(project.Folder))
        if (entry.IsRegular && IsColumnDocumentName(entry.Name))
            AddName(names, entry.Name);
    return names;
}

TDocumentBytes ReadProjectDocuments(const TDProject& project) {
    TDocumentBytes documents;
    for (const std::string& name : ProjectDocumentNames(project)) {
        const std::string file = project.Folder + "/" + name;
        if (IsPlainFile(file))
            documents[name] = ReadDocumentFile(file);
    }
    return documents;
}

void WriteProjectDocument(const std::string& folder, const std::string& name,
                          const std::string& bytes) {
    // Default.Pro holds the FTP password: a new one is for its owner only.
    WriteFileAtomically(folder + "/" + name, bytes, name == "Default.Pro" ? 0600 : 0666);
}

TDocumentBytes BytesOf(const TSharedDocuments& documents) {
    TDocumentBytes bytes;
    for (const auto& [name, shared] : documents)
        bytes.emplace(name, *shared);
    return bytes;
}

TSharedDocuments Shared(const TDocumentBytes& documents) {
    TSharedDocuments shared;
    for (const auto& [name, bytes] : documents)
        shared.emplace(name, std::make_shared<const std::string>(bytes));
    return shared;
}
