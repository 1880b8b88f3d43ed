#include "model/EarlierVersions.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Sha256.h"
#include "platform/XmlDocument.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <vector>

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

constexpr const char* HistoryHeader = "corvane-history 1";
constexpr std::size_t MaxSizeDigits = 18;

std::string ListName(const std::string& id) {
    return id + ".list";
}
// The description of a folder version, as the earlier releases write it.
std::string InfoName(const std::string& id) {
    return id + ".txt";
}
// The description of a list version. Not "<id>.txt": the earlier releases take one of those
// without its folder for an unfinished write and delete it, and so would empty the history
// of a project opened with them again.
std::string ListInfoName(const std::string& id) {
    return id + ".info";
}

// The bytes of a file in the history: a plain file, never read through a link.
std::string ReadHistoryFile(const std::string& path) {
    return ReadDocumentFile(path, TXmlDocument::TLinks::Refuse);
}

// The entries of the history folder by version: which of a version's files are there.
struct TEntries {
    std::set<std::string> Folders;   // "<id>": the documents themselves
    std::set<std::string> Lists;     // "<id>.list"
    std::set<std::string> Infos;     // "<id>.txt"
    std::set<std::string> ListInfos; // "<id>.info"
    std::set<std::string> Anything;  // every id that any entry begins with
    // Entries named as a version's folder or file that are not what that name stands for (a
    // symbolic link, a FIFO, a file for a folder, a folder for a file): never read, written
    // or removed, only reported.
    std::vector<std::string> Strays;
};

TEntries ScanFolder(const std::string& folder) {
    TEntries entries;
    for (const TFileEntry& entry : ListFolder(folder)) {
        const std::string id = entry.Name.substr(0, IdDigits);
        if (!IsVersionId(id))
            continue;
        // Numbered past whatever it is, so that no version is written under its name.
        entries.Anything.insert(id);
        const bool folderName = entry.Name == id;
        const bool fileName = entry.Name == ListName(id) || entry.Name == InfoName(id) ||
                              entry.Name == ListInfoName(id);
        const bool realFolder = entry.IsFolder && !entry.IsLink;
        if ((folderName && !realFolder) || (fileName && !entry.IsRegular))
            entries.Strays.push_back(entry.Name);
        else if (folderName)
            entries.Folders.insert(id);
        else if (entry.Name == ListName(id))
            entries.Lists.insert(id);
        else if (entry.Name == InfoName(id))
            entries.Infos.insert(id);
        else if (entry.Name == ListInfoName(id))
            entries.ListInfos.insert(id);
    }
    return entries;
}

} // namespace

struct TEarlierVersions::TStored {
    TEarlierVersion Version;
    bool IsList = false;
    TListing Listing; // of a list version
};

namespace {

// A version's list as ListText writes it; false for anything else.
bool ParseList(const std::string& text,
               std::map<std::string, std::pair<std::string, std::int64_t>>& listing) {
    std::size_t at = 0;
    bool header = true;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return false;
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (header) {
            if (line != HistoryHeader)
                return false;
            header = false;
            continue;
        }
        const std::size_t first = line.find(' ');
        const std::size_t second =
            first == std::string::npos ? std::string::npos : line.find(' ', first + 1);
        if (second == std::string::npos)
            return false;
        const std::string hash = line.substr(0, first);
        const std::string size = line.substr(first + 1, second - first - 1);
        const std::string name = line.substr(second + 1);
        if (!IsSha256Text(hash) || size.empty() || size.size() > MaxSizeDigits ||
            size.find_first_not_of("0123456789") != std::string::npos || !IsDocumentName(name) ||
            name.find_first_of("\r\n") != std::string::npos)
            return false;
        if (!listing.emplace(name, std::make_pair(hash, std::stoll(size))).second)
            return false;
    }
    return !header && listing.count(ProjectDocument) != 0;
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

std::vector<TEarlierVersions::TStored> TEarlierVersions::Stored(bool checkObjects) const {
    std::vector<TStored> versions;
    const std::string folder = Folder();
    if (!FolderExists(folder))
        return versions;
    CheckRealFolder(folder);
    const TEntries entries = ScanFolder(folder);
    // Each object looked at once, however many versions share it.
    std::map<std::string, bool> present;
    auto objectThere = [this, &present](const TListed& listed) {
        const auto known = present.find(listed.Hash);
        if (known != present.end())
            return known->second;
        const std::string path = ObjectsFolder() + "/" + listed.Hash;
        const bool there = IsPlainFile(path) && FileSize(path) == listed.Size;
        present.emplace(listed.Hash, there);
        return there;
    };
    // A list with its description, or a folder with its own.
    std::set<std::string> described = entries.Infos;
    described.insert(entries.ListInfos.begin(), entries.ListInfos.end());
    for (const std::string& id : described) {
        TStored stored;
        stored.Version.Id = id;
        stored.IsList = entries.Lists.count(id) != 0 && entries.ListInfos.count(id) != 0;
        if (!stored.IsList && (entries.Folders.count(id) == 0 || entries.Infos.count(id) == 0))
            continue;
        try {
            const std::string info = stored.IsList ? ListInfoName(id) : InfoName(id);
            if (!ParseInfo(ReadHistoryFile(folder + "/" + info), stored.Version))
                continue;
            if (stored.IsList) {
                std::map<std::string, std::pair<std::string, std::int64_t>> listing;
                if (!ParseList(ReadHistoryFile(folder + "/" + ListName(id)), listing))
                    continue;
                bool complete = true;
                for (const auto& [name, entry] : listing) {
                    const TListed listed{entry.first, entry.second};
                    if (checkObjects && !objectThere(listed))
                        complete = false;
                    stored.Version.Bytes += listed.Size;
                    stored.Listing.emplace(name, listed);
                }
                if (!complete)
                    continue;
            } else {
                for (const TFileEntry& document : ListFolder(folder + "/" + id))
                    if (document.IsRegular)
                        stored.Version.Bytes += document.Size;
            }
        } catch (const TError&) {
            continue; // an unreadable version is no version
        }
        versions.push_back(std::move(stored));
    }
    std::sort(versions.begin(), versions.end(),
              [](const TStored& a, const TStored& b) { return a.Version.Id > b.Version.Id; });
    return versions;
}

std::vector<std::string> TEarlierVersions::Strays() const {
    std::vector<std::string> paths;
    const std::string folder = Folder();
    if (!FolderExists(folder))
        return paths;
    CheckRealFolder(folder);
    for (const std::string& name : ScanFolder(folder).Strays)
        paths.push_back(folder + "/" + name);
    return paths;
}

std::vector<TEarlierVersion> TEarlierVersions::List() const {
    std::vector<TEarlierVersion> versions;
    for (TStored& stored : Stored(true))
        versions.push_back(std::move(stored.Version));
    return versions;
}

TDocumentBytes TEarlierVersions::Read(const TEarlierVersion& version) const {
    const std::string history = Folder();
    if (FolderExists(history))
        CheckRealFolder(history);
    TDocumentBytes documents;
    const std::string list = history + "/" + ListName(version.Id);
    const std::string folder = history + "/" + version.Id;
    if (IsVersionId(version.Id) && FileExists(list)) {
        std::map<std::string, std::pair<std::string, std::int64_t>> listing;
        if (!ParseList(ReadHistoryFile(list), listing))
            throw TError("The list of this earlier version is broken", list);
        CheckRealFolder(ObjectsFolder());
        for (const auto& [name, entry] : listing) {
            const std::string object = ObjectsFolder() + "/" + entry.first;
            if (!FileExists(object))
                throw TError("A document of this earlier version is missing", object);
            std::string bytes = ReadHistoryFile(object);
            if (static_cast<std::int64_t>(bytes.size()) != entry.second ||
                Sha256OfBytes(bytes) != entry.first)
                throw TError("A document of this earlier version no longer holds what was kept",
                             object);
            documents.emplace(name, std::move(bytes));
        }
        return documents;
    }
    if (!IsVersionId(version.Id) || !FolderExists(folder))
        throw TError("This earlier version is no longer kept", folder);
    CheckRealFolder(folder);
    for (const TFileEntry& entry : ListFolder(folder))
        if (entry.IsRegular && IsDocumentName(entry.Name))
            documents[entry.Name] = ReadHistoryFile(folder + "/" + entry.Name);
    if (documents.count(ProjectDocument) == 0)
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

TEarlierVersions::TListing TEarlierVersions::Listing(const TSharedDocuments& documents) {
    TListing listing;
    for (const auto& [name, bytes] : documents) {
        TDigested& digested = FDigests[name];
        if (digested.Bytes.lock() != bytes) {
            // Default.Pro is digested as it is kept, without its password.
            const std::string kept =
                name == ProjectDocument ? WithPassword(*bytes, std::string()) : std::string();
            const std::string& keptBytes = name == ProjectDocument ? kept : *bytes;
            digested.Listed =
                TListed{Sha256OfBytes(keptBytes), static_cast<std::int64_t>(keptBytes.size())};
            digested.Bytes = bytes;
            ++FDigested;
        }
        listing.emplace(name, digested.Listed);
    }
    // The digests of documents that are gone are of no more use.
    for (auto it = FDigests.begin(); it != FDigests.end();)
        it = it->second.Bytes.expired() ? FDigests.erase(it) : std::next(it);
    return listing;
}

void TEarlierVersions::Keep(const std::string& change, const TDocumentBytes& before,
                            const TDocumentBytes& after, std::int64_t time) {
    Keep(change, Shared(before), Shared(after), time);
}

void TEarlierVersions::Keep(const std::string& change, const TSharedDocuments& before,
                            const TSharedDocuments& after, std::int64_t time) {
    FDigested = 0;
    FWritten = 0;
    const std::string folder = Folder();
    MakeFolder(folder);
    CheckRealFolder(folder);
    if (!FolderExists(folder))
        throw TError("Cannot make the folder for the earlier versions", folder);
    MakeFolder(ObjectsFolder());
    CheckRealFolder(ObjectsFolder());
    if (!FolderExists(ObjectsFolder()))
        throw TError("Cannot make the folder for the earlier versions", ObjectsFolder());
    const TListing beforeListing = Listing(before);
    const TListing afterListing = Listing(after);
    // Whether before is the newest version: compared by the digests, without reading the
    // documents kept, unless that version is a folder of an earlier release.
    const std::vector<TStored> versions = Stored(false);
    bool beforeKept = false;
    if (!versions.empty()) {
        const TStored& newest = versions.front();
        if (newest.IsList) {
            beforeKept = newest.Listing == beforeListing;
        } else {
            try {
                beforeKept = Read(newest.Version) == Kept(BytesOf(before));
            } catch (const TError&) {
                beforeKept = false;
            }
        }
    }
    if (!beforeKept && !before.empty())
        Add(std::string("Before ").append(change), beforeListing, before, time);
    Add(change, afterListing, after, time);
    Prune();
}

void TEarlierVersions::Add(const std::string& change, const TListing& listing,
                           const TSharedDocuments& documents, std::int64_t time) {
    unsigned long next = 1;
    for (const std::string& id : ScanFolder(Folder()).Anything)
        next = std::max(next, std::stoul(id) + 1);
    const std::string id = IdOf(next);
    std::string text = HistoryHeader;
    text += '\n';
    for (const auto& [name, listed] : listing) {
        const std::string object = ObjectsFolder() + "/" + listed.Hash;
        // A document kept before is there already; anything else in its place is replaced.
        if (!IsPlainFile(object) || FileSize(object) != listed.Size) {
            const std::string& bytes = *documents.at(name);
            WriteFileAtomically(
                object, name == ProjectDocument ? WithPassword(bytes, std::string()) : bytes, 0600);
            ++FWritten;
        }
        text += listed.Hash;
        text += ' ';
        text += std::to_string(listed.Size);
        text += ' ';
        text += name;
        text += '\n';
    }
    WriteFileAtomically(Folder() + "/" + ListName(id), text, 0600);
    // Last: only now is the version complete.
    WriteFileAtomically(Folder() + "/" + ListInfoName(id),
                        std::to_string(time) + "\n" + change + "\n", 0600);
}

void TEarlierVersions::RemoveVersion(const std::string& id) const {
    // Only a version's own files and folder go; a stray entry under one of their names
    // stays as it is (Strays reports it).
    for (const std::string& name : {ListInfoName(id), InfoName(id), ListName(id)})
        if (IsPlainFile(Folder() + "/" + name))
            DeleteFileQuietly(Folder() + "/" + name);
    const std::string folder = Folder() + "/" + id;
    if (!IsVersionId(id) || !FolderExists(folder))
        return;
    try {
        CheckRealFolder(folder);
    } catch (const TError&) {
        return;
    }
    for (const TFileEntry& entry : ListFolder(folder))
        if (!entry.IsFolder || entry.IsLink)
            DeleteFileQuietly(folder + "/" + entry.Name);
    RemoveEmptyFolder(folder);
}

void TEarlierVersions::Prune() const {
    const std::vector<TStored> versions = Stored(false);
    std::set<std::string> complete;
    for (const TStored& stored : versions)
        complete.insert(stored.Version.Id);
    // What an interrupted write left: a version without its description, or the reverse.
    for (const std::string& id : ScanFolder(Folder()).Anything)
        if (complete.count(id) == 0)
            RemoveVersion(id);
    // The newest version stays whatever its size: a project larger than MaxBytes keeps the
    // state of its last change, where a strict limit would leave it no history at all. A
    // document that several versions list counts once.
    std::set<std::string> counted;
    std::int64_t bytes = 0;
    std::size_t keep = 0;
    for (const TStored& stored : versions) {
        std::int64_t more = stored.IsList ? 0 : stored.Version.Bytes;
        for (const auto& [name, listed] : stored.Listing)
            if (counted.count(listed.Hash) == 0)
                more += listed.Size;
        if (keep > 0 && (keep >= MaxVersions || bytes + more > MaxBytes))
            break;
        bytes += more;
        for (const auto& [name, listed] : stored.Listing)
            counted.insert(listed.Hash);
        ++keep;
    }
    for (std::size_t i = keep; i < versions.size(); ++i)
        RemoveVersion(versions[i].Version.Id);
    // The documents that no kept version lists go with the versions.
    for (const TFileEntry& entry : ListFolder(ObjectsFolder()))
        if (!entry.IsFolder && counted.count(entry.Name) == 0)
            DeleteFileQuietly(ObjectsFolder() + "/" + entry.Name);
}
