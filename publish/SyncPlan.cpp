#include "publish/SyncPlan.h"

#include "platform/FileSystem.h"
#include "platform/Locale.h"

#include <algorithm>
#include <cstdint>
#include <set>

const char* SyncKindText(TSyncKind kind) {
    switch (kind) {
    case TSyncKind::New:
        return "New";
    case TSyncKind::Changed:
        return "Changed";
    case TSyncKind::Unchanged:
        return "Unchanged";
    case TSyncKind::Delete:
        return "Delete";
    }
    return "";
}

namespace {

// The small letter of a capital of the alphabets that a server ignoring case folds (Latin,
// Greek, Cyrillic); any other code point as it is.
std::uint32_t SmallLetter(std::uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c == 0x178)
        return 0xFF;
    // Latin Extended-A: capital and small in pairs, the capital first (even, then odd from
    // U+0139 to U+0148 and from U+0179 on).
    const bool oddCapitals = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) && c % 2 == 0)
        return c + 1;
    if (oddCapitals && c % 2 == 1)
        return c + 1;
    return c;
}

} // namespace

std::string FoldedName(const std::string& name) {
    std::string folded;
    folded.reserve(name.size());
    const auto byte = [&name](std::size_t k) { return static_cast<unsigned char>(name[k]); };
    for (std::size_t i = 0; i < name.size();) {
        // Two-byte characters hold every capital folded here; anything else (longer
        // characters, bytes that are not UTF-8) stays byte for byte.
        if (byte(i) >= 0xC2 && byte(i) <= 0xDF && i + 1 < name.size() &&
            (byte(i + 1) & 0xC0) == 0x80) {
            // Small letters of two-byte capitals take two bytes as well.
            const std::uint32_t c = SmallLetter(((byte(i) & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu));
            folded.push_back(static_cast<char>(0xC0 | (c >> 6)));
            folded.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            i += 2;
            continue;
        }
        const unsigned char b = byte(i++);
        folded.push_back(static_cast<char>(b < 0x80 ? SmallLetter(b) : b));
    }
    return folded;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return FoldedName(a) == FoldedName(b);
}

TSyncPlan TSyncPlan::Make(const std::vector<TLocalFile>& site, const TManifest* remote) {
    return Make(site, remote ? TManifest(*remote) : TManifest());
}

TSyncPlan TSyncPlan::Make(const std::vector<TLocalFile>& site, TManifest&& remote) {
    TSyncPlan plan;
    plan.Remote = std::move(remote);
    // At most every file of the site and every one of the manifest: never grown by doubling,
    // which would hold a large plan twice for a moment.
    plan.Items.reserve(site.size() + plan.Remote.Files.size());
    std::set<std::string> onSite, foldedOnSite;
    for (const TLocalFile& file : site) {
        onSite.insert(file.Name);
        foldedOnSite.insert(FoldedName(file.Name));
        TSyncItem item{file.Name, TSyncKind::New, file.Size, file.Sha256, true};
        const auto listed = plan.Remote.Files.find(file.Name);
        if (listed != plan.Remote.Files.end()) {
            const bool same =
                listed->second.Size == file.Size && listed->second.Sha256 == file.Sha256;
            item.Kind = same ? TSyncKind::Unchanged : TSyncKind::Changed;
            item.Ticked = !same;
        }
        plan.Items.push_back(item);
    }
    for (const auto& [name, entry] : plan.Remote.Files)
        if (onSite.count(name) == 0 && foldedOnSite.count(FoldedName(name)) == 0)
            // Without its hash: the manifest keeps it, and a large manifest is not held twice.
            plan.Items.push_back(TSyncItem{name, TSyncKind::Delete, entry.Size, {}, true});
    return plan;
}

int TSyncPlan::Uploads() const {
    return static_cast<int>(std::count_if(Items.begin(), Items.end(), [](const TSyncItem& item) {
        return item.Ticked && item.Kind != TSyncKind::Delete;
    }));
}

std::int64_t TSyncPlan::UploadBytes() const {
    std::int64_t bytes = 0;
    for (const TSyncItem& item : Items)
        if (item.Ticked && item.Kind != TSyncKind::Delete)
            bytes += item.Size;
    return bytes;
}

int TSyncPlan::Deletes() const {
    return static_cast<int>(std::count_if(Items.begin(), Items.end(), [](const TSyncItem& item) {
        return item.Ticked && item.Kind == TSyncKind::Delete;
    }));
}

int TSyncPlan::Unchanged() const {
    return static_cast<int>(std::count_if(Items.begin(), Items.end(), [](const TSyncItem& item) {
        return !item.Ticked && item.Kind == TSyncKind::Unchanged;
    }));
}

std::string TSyncPlan::Summary() const {
    const std::int64_t bytes = UploadBytes();
    // Whole KB, halves rounded up, as the file list shows sizes.
    std::string text = FormatThousands(Uploads());
    text += " to upload (";
    text += FormatThousands((bytes + 512) / 1024);
    text += " KB), ";
    text += FormatThousands(Deletes());
    text += " to delete, ";
    text += FormatThousands(Unchanged());
    text += " unchanged";
    return text;
}

std::string TSyncPlan::DeleteQuestion() const {
    const int deletes = Deletes();
    if (deletes <= DeleteCap)
        return {};
    std::string text = "Delete ";
    text += FormatThousands(deletes);
    text += " files that the site no longer has?";
    return text;
}

TManifest TSyncPlan::ManifestAfterRun() const {
    TManifest after;
    for (const TSyncItem& item : Items) {
        const auto listed = Remote.Files.find(item.Name);
        if (item.Kind == TSyncKind::Delete) {
            if (!item.Ticked)
                after.Files[item.Name] = listed->second;
            continue;
        }
        if (item.Ticked || item.Kind == TSyncKind::Unchanged) {
            after.Files[item.Name] = TManifestEntry{item.Size, item.Sha256};
            continue;
        }
        if (listed != Remote.Files.end())
            after.Files[item.Name] = listed->second;
        for (const std::string& other : OtherSpellings(item.Name))
            after.Files[other] = Remote.Files.at(other);
    }
    return after;
}

std::vector<std::string> TSyncPlan::OtherSpellings(const std::string& siteName) const {
    std::vector<std::string> names;
    for (const auto& listed : Remote.Files) {
        const std::string& name = listed.first;
        if (name == siteName || !SameNameIgnoringCase(name, siteName))
            continue;
        const bool onSite = std::any_of(Items.begin(), Items.end(), [&](const TSyncItem& item) {
            return item.Name == name && item.Kind != TSyncKind::Delete;
        });
        if (!onSite)
            names.push_back(name);
    }
    return names;
}

std::vector<TLocalFile> ListSiteFiles(const std::string& folder) {
    std::vector<TLocalFile> files;
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    for (const TFileEntry& entry : ListFolder(path)) {
        if (!entry.IsRegular || entry.IsLink || entry.Name.empty() || entry.Name[0] == '.')
            continue;
        TLocalFile file;
        file.Name = entry.Name;
        file.Sha256 = Sha256OfFile(path + entry.Name, &file.Size);
        files.push_back(file);
    }
    return files;
}
