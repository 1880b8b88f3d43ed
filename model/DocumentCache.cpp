#include "model/DocumentCache.h"

#include "platform/XmlDocument.h"

#include <ctime>
#include <set>

namespace {

constexpr std::int64_t NanosecondsPerSecond = 1000000000;
// Larger than the clock tick by which the kernel moves file times on.
constexpr std::int64_t TickNanoseconds = 20000000;
// File systems that keep whole seconds (or two, as FAT does).
constexpr std::int64_t CoarseNanoseconds = 2 * NanosecondsPerSecond;

std::int64_t Nanoseconds(std::int64_t seconds, long nanoseconds) {
    return seconds * NanosecondsPerSecond + nanoseconds;
}

std::int64_t Now() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now.tv_sec, now.tv_nsec);
}

// Whether a write after a reading at now could leave the file's signature as it is.
bool IsRecent(const TFileSignature& signature, std::int64_t now) {
    const std::int64_t modified =
        Nanoseconds(signature.Stamp.ModifiedSeconds, signature.Stamp.ModifiedNanoseconds);
    const std::int64_t changed =
        Nanoseconds(signature.ChangedSeconds, signature.ChangedNanoseconds);
    const bool coarse =
        signature.Stamp.ModifiedNanoseconds == 0 && signature.ChangedNanoseconds == 0;
    return std::max(modified, changed) + (coarse ? CoarseNanoseconds : TickNanoseconds) >= now;
}

} // namespace

const TSharedDocuments& TDocumentCache::Read(const TDProject& project) {
    return Read(project.Folder, ProjectDocumentNames(project));
}

const TSharedDocuments& TDocumentCache::Read(const std::string& folder,
                                             const std::vector<std::string>& names) {
    if (folder != FFolder) {
        Clear();
        FFolder = folder;
    }
    FFilesRead = 0;
    // Taken before any signature: a write after it moves the file's times past it.
    const std::int64_t now = Now();
    std::set<std::string> present;
    for (const std::string& name : names) {
        const std::string file = folder + "/" + name;
        TFileSignature signature;
        if (!ReadFileSignature(file, signature))
            continue;
        present.insert(name);
        const auto known = FEntries.find(name);
        if (known != FEntries.end() && !known->second.Recent &&
            known->second.Signature == signature && FDocuments.count(name) != 0)
            continue;
        // Forgotten first: when the read fails, the next reading tries again.
        FEntries.erase(name);
        TSharedBytes earlier;
        if (const auto found = FDocuments.find(name); found != FDocuments.end()) {
            earlier = std::move(found->second);
            FDocuments.erase(found);
        }
        // Bytes newer than the signature are read again next time, as its signature moved.
        std::string bytes = ReadDocumentFile(file);
        ++FFilesRead;
        // The same bytes again (a file read again because it was written lately, or saved
        // as it was) stay the ones shared.
        FDocuments[name] = earlier && *earlier == bytes
                               ? std::move(earlier)
                               : std::make_shared<const std::string>(std::move(bytes));
        FEntries[name] = TEntry{signature, IsRecent(signature, now)};
    }
    for (auto it = FDocuments.begin(); it != FDocuments.end();)
        it = present.count(it->first) != 0 ? std::next(it) : FDocuments.erase(it);
    for (auto it = FEntries.begin(); it != FEntries.end();)
        it = present.count(it->first) != 0 ? std::next(it) : FEntries.erase(it);
    return FDocuments;
}

void TDocumentCache::Clear() {
    FFolder.clear();
    FEntries.clear();
    FDocuments.clear();
    FFilesRead = 0;
}
