#include "model/EarlierVersions.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/XmlDocument.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <utility>

namespace {

constexpr std::size_t IdDigits = 8;

bool IsVersionId(const std::string& name) {
    return name.size() == IdDigits &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string IdOf(unsigned long number) {
    char text[IdDigits + 8];
    std::snprintf(text, sizeof text, "%08lu", number);
    return text;
}

// "<time>\n<change>\n"
bool ParseInfo(const std::string& text, TEarlierVersion& version) {
    const std::size_t line = text.find('\n');
    if (line == std::string::npos || line == 0)
        return false;
    std::int64_t time = 0;
    for (std::size_t i = 0; i < line; ++i) {
        if (text[i] < '0' || text[i] > '9' || time > (INT64_MAX - 9) / 10)
            return false;
        time = time * 10 + (text[i] - '0');
    }
    version.Time = time;
    std::string change = text.substr(line + 1);
    if (!change.empty() && change.back() == '\n')
        change.pop_back();
    version.Change = change;
    return true;
}

const std::string ProjectDocument = "Default.Pro";

// The publishing password of a project document, as PUBLISH/PASSWORD holds it; empty when
// the bytes do not parse or hold none.
std::string PasswordIn(const std::string& bytes) {
    TXmlDocument document;
    try {
        document.LoadFromBytes(bytes, ProjectDocument);
        return ElementText(ChildByName(ChildByName(document.Root(), "PUBLISH"), "PASSWORD"));
    } catch (const TError&) {
        return std::string();
    }
}

// The project document with password in PUBLISH/PASSWORD. Bytes that do not parse, hold no
// such element or hold that password already are given back as they are, byte for byte.
std::string WithPassword(const std::string& bytes, const std::string& password) {
    TXmlDocument document;
    try {
        document.LoadFromBytes(bytes, ProjectDocument);
        const TXmlElement element =
            ChildByName(ChildByName(document.Root(), "PUBLISH"), "PASSWORD");
        if (!element || ElementText(element) == password)
            return bytes;
        SetElementText(element, password);
        return document.ToString();
    } catch (const TError&) {
        return bytes;
    }
}

} // namespace

TDocumentBytes TEarlierVersions::Kept(TDocumentBytes documents) {
    const auto project = documents.find(ProjectDocument);
    if (project != documents.end())
        project->second = WithPassword(project->second, std::string());
    return documents;
}

TEarlierVersions::TEarlierVersions(std::string projectFolder)
    : FProjectFolder(std::move(projectFolder)) {}

std::vector<TEarlierVersion> TEarlierVersions::List() const {
    std::vector<TEarlierVersion> versions;
    const std::string folder = Folder();
    if (!FolderExists(folder))
        return versions;
    CheckRealFolder(folder);
    std::set<std::string> folders;
    for (const TFileEntry& entry : ListFolder(folder))
        if (entry.IsFolder && !entry.IsLink && IsVersionId(entry.Name))
            folders.insert(entry.Name);
    for (const TFileEntry& entry : ListFolder(folder)) {
        if (!entry.IsRegular || entry.Name.size() != IdDigits + 4 ||
            entry.Name.compare(IdDigits, 4, ".txt") != 0)
            continue;
        TEarlierVersion version;
        version.Id = entry.Name.substr(0, IdDigits);
        if (folders.count(version.Id) == 0)
            continue;
        try {
            if (!ParseInfo(ReadDocumentFile(folder + "/" + entry.Name), version))
                continue;
        } catch (const TError&) {
            continue; // an unreadable version is no version
        }
        for (const TFileEntry& document : ListFolder(VersionFolder(version.Id)))
            if (document.IsRegular)
                version.Bytes += document.Size;
        versions.push_back(std::move(version));
    }
    std::sort(versions.begin(), versions.end(),
              [](const TEarlierVersion& a, const TEarlierVersion& b) { return a.Id > b.Id; });
    return versions;
}

TDocumentBytes TEarlierVersions::Read(const TEarlierVersion& version) const {
    const std::string folder = VersionFolder(version.Id);
    if (!IsVersionId(version.Id) || !FolderExists(folder))
        throw TError("This earlier version is no longer kept", folder);
    CheckRealFolder(folder);
    TDocumentBytes documents;
    for (const TFileEntry& entry : ListFolder(folder))
        if (entry.IsRegular && IsDocumentName(entry.Name))
            documents[entry.Name] = ReadDocumentFile(folder + "/" + entry.Name);
    if (documents.count("Default.Pro") == 0)
        throw TError("This earlier version holds no Default.Pro", folder);
    return documents;
}

void TEarlierVersions::Restore(const TEarlierVersion& version) const {
    // Read all of it first: a version that cannot be read changes nothing.
    TDocumentBytes documents = Read(version);
    // The version holds no password: the project keeps the one it has now.
    const std::string current = FProjectFolder + "/" + ProjectDocument;
    if (IsPlainFile(current)) {
        std::string password;
        try {
            password = PasswordIn(ReadDocumentFile(current));
        } catch (const TError&) {
            password.clear(); // an unreadable document has no password to keep
        }
        std::string& project = documents[ProjectDocument];
        project = WithPassword(project, password);
    }
    for (const auto& [name, bytes] : documents)
        WriteProjectDocument(FProjectFolder, name, bytes);
}

void TEarlierVersions::Keep(const std::string& change, const TDocumentBytes& before,
                            const TDocumentBytes& after, std::int64_t time) {
    const std::string folder = Folder();
    MakeFolder(folder);
    CheckRealFolder(folder);
    if (!FolderExists(folder))
        throw TError("Cannot make the folder for the earlier versions", folder);
    const std::vector<TEarlierVersion> versions = List();
    const TDocumentBytes keptBefore = Kept(before);
    bool beforeKept = false;
    if (!versions.empty()) {
        try {
            beforeKept = Read(versions.front()) == keptBefore;
        } catch (const TError&) {
            beforeKept = false;
        }
    }
    if (!beforeKept && !before.empty())
        Add(std::string("Before ").append(change), keptBefore, time);
    Add(change, Kept(after), time);
    Prune();
}

void TEarlierVersions::Add(const std::string& change, const TDocumentBytes& documents,
                           std::int64_t time) {
    unsigned long next = 1;
    for (const TFileEntry& entry : ListFolder(Folder())) {
        const std::string id = entry.Name.substr(0, IdDigits);
        if (IsVersionId(id))
            next = std::max(next, std::stoul(id) + 1);
    }
    const std::string id = IdOf(next);
    const std::string folder = VersionFolder(id);
    if (!MakeFolder(folder))
        throw TError("Cannot make the folder for an earlier version", folder);
    for (const auto& [name, bytes] : documents)
        WriteFileAtomically(folder + "/" + name, bytes, 0600);
    // Last: only now is the version complete.
    WriteFileAtomically(Folder() + "/" + id + ".txt", std::to_string(time) + "\n" + change + "\n",
                        0600);
}

void TEarlierVersions::RemoveVersion(const std::string& id) const {
    DeleteFileQuietly(Folder() + "/" + id + ".txt");
    const std::string folder = VersionFolder(id);
    for (const TFileEntry& entry : ListFolder(folder))
        if (!entry.IsFolder || entry.IsLink)
            DeleteFileQuietly(folder + "/" + entry.Name);
    RemoveEmptyFolder(folder);
}

void TEarlierVersions::Prune() const {
    std::vector<TEarlierVersion> versions = List();
    std::set<std::string> complete;
    for (const TEarlierVersion& version : versions)
        complete.insert(version.Id);
    // What an interrupted write left: a folder without its description, or the reverse.
    for (const TFileEntry& entry : ListFolder(Folder())) {
        const std::string id = entry.Name.substr(0, IdDigits);
        if (IsVersionId(id) && complete.count(id) == 0 &&
            (entry.Name == id || entry.Name == id + ".txt"))
            RemoveVersion(id);
    }
    // The newest version stays whatever its size: a project larger than MaxBytes keeps the
    // state of its last change, where a strict limit would leave it no history at all.
    std::int64_t bytes = versions.empty() ? 0 : versions.front().Bytes;
    std::size_t keep = versions.empty() ? 0 : 1;
    while (keep < versions.size() && keep < MaxVersions &&
           bytes + versions[keep].Bytes <= MaxBytes) {
        bytes += versions[keep].Bytes;
        ++keep;
    }
    for (std::size_t i = keep; i < versions.size(); ++i)
        RemoveVersion(versions[i].Id);
}
