#include "publish/Manifest.h"

#include "platform/Error.h"
#include "platform/Text.h"

namespace {

// A name the lists may hold: a file directly in the remote folder that a run may have sent,
// never a hidden one (the site's hidden files are never published, and the server's, such
// as .htaccess or this program's own lists, are not to be deleted).
bool IsPlainName(const std::string& name) {
    return !name.empty() && name[0] != '.' &&
           name.find_first_of(std::string("/\\\r\0", 4)) == std::string::npos;
}

} // namespace

TManifest TManifest::Parse(const std::string& text) {
    if (text.size() > MaxBytes)
        throw TError("The manifest is too large");
    TManifest manifest;
    std::size_t at = 0;
    int lineNumber = 0;
    auto fail = [&lineNumber](const std::string& what) {
        throw TError("The manifest's line " + std::to_string(lineNumber) + " " + what);
    };
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            ++lineNumber;
            fail("does not end with a line break");
        }
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (lineNumber == 1) {
            if (line != Header)
                fail("is not \"" + std::string(Header) + "\"");
            continue;
        }
        const std::size_t firstBlank = line.find(' ');
        const std::size_t secondBlank =
            firstBlank == std::string::npos ? std::string::npos : line.find(' ', firstBlank + 1);
        if (secondBlank == std::string::npos)
            fail("is not \"hash size name\"");
        const std::string hash = line.substr(0, firstBlank);
        const std::string size = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
        const std::string name = line.substr(secondBlank + 1);
        if (!IsSha256Text(hash))
            fail("holds no SHA-256");
        if (size.empty() || size.size() > 18 ||
            size.find_first_not_of("0123456789") != std::string::npos)
            fail("holds no size");
        if (!IsPlainName(name))
            fail("holds no plain file name");
        if (!manifest.Files.emplace(name, TManifestEntry{std::stoll(size), hash}).second)
            fail("names " + ControlCharactersShown(name) + " a second time");
    }
    if (lineNumber == 0)
        throw TError("The manifest is empty");
    return manifest;
}

std::string TManifest::Text() const {
    std::string text = Header;
    text += '\n';
    for (const auto& [name, entry] : Files) {
        // A name that Parse refuses would make the whole manifest unreadable; left out, the
        // file only counts as new the next time.
        if (!entry.Known() || !IsPlainName(name))
            continue;
        text += entry.Sha256;
        text += ' ';
        text += std::to_string(entry.Size);
        text += ' ';
        text += name;
        text += '\n';
    }
    return text;
}

std::set<std::string> TManifest::ParsePending(const std::string& text) {
    if (text.size() > MaxBytes)
        throw TError("The list of files under way is too large");
    std::set<std::string> names;
    std::size_t at = 0;
    int lineNumber = 0;
    auto fail = [&lineNumber](const std::string& what) {
        throw TError("The list of files under way: line " + std::to_string(lineNumber) + " " +
                     what);
    };
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        ++lineNumber;
        if (end == std::string::npos)
            fail("does not end with a line break");
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (lineNumber == 1) {
            if (line != PendingHeader)
                fail("is not \"" + std::string(PendingHeader) + "\"");
            continue;
        }
        if (!IsPlainName(line))
            fail("holds no plain file name");
        names.insert(line);
    }
    if (lineNumber == 0)
        throw TError("The list of files under way is empty");
    return names;
}

std::string TManifest::PendingText(const std::set<std::string>& names) {
    std::string text = PendingHeader;
    text += '\n';
    for (const std::string& name : names) {
        // The manifest never lists such a name (Text), so no entry needs it marked.
        if (!IsPlainName(name))
            continue;
        text += name;
        text += '\n';
    }
    return text;
}

void TManifest::MarkUnknown(const std::set<std::string>& names) {
    for (const std::string& name : names)
        Files[name] = TManifestEntry{-1, std::string()};
}

std::set<std::string> TManifest::Unknown() const {
    std::set<std::string> names;
    for (const auto& [name, entry] : Files)
        if (!entry.Known())
            names.insert(name);
    return names;
}
