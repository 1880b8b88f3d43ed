#include "publish/Manifest.h"

#include "platform/Error.h"
#include "platform/Text.h"

#include <string_view>

namespace {

// A name the lists may hold: a file directly in the remote folder that a run may have sent,
// never a hidden one (the site's hidden files are never published, and the server's, such
// as .htaccess or this program's own lists, are not to be deleted).
bool IsPlainName(std::string_view name) {
    return !name.empty() && name[0] != '.' &&
           name.find_first_of(std::string_view("/\\\r\0", 4)) == std::string_view::npos;
}

// Calls line(number, text) for each line of text after the header, which must be header;
// fail(number, what) is called (and must throw) for a fault. The lines are views into text:
// a manifest of MaxBytes is read without a copy of any of it.
template <typename TLine, typename TFail>
void ForEachLine(std::string_view text, std::string_view header, TLine line, TFail fail) {
    std::size_t at = 0;
    int number = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        ++number;
        if (end == std::string_view::npos)
            fail(number, "does not end with a line break");
        const std::string_view current = text.substr(at, end - at);
        at = end + 1;
        if (number == 1) {
            if (current != header)
                fail(number, "is not \"" + std::string(header) + "\"");
            continue;
        }
        line(number, current);
    }
    if (number == 0)
        fail(0, "");
}

} // namespace

TSha256Digest::TSha256Digest(std::string_view text) {
    if (!IsSha256Text(text))
        return;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    for (std::size_t i = 0; i < FBytes.size(); ++i)
        FBytes[i] = static_cast<unsigned char>(nibble(text[2 * i]) * 16 + nibble(text[2 * i + 1]));
    FKnown = true;
}

std::string TSha256Digest::Text() const {
    if (!FKnown)
        return std::string();
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text(2 * FBytes.size(), '0');
    for (std::size_t i = 0; i < FBytes.size(); ++i) {
        text[2 * i] = Digits[FBytes[i] >> 4];
        text[2 * i + 1] = Digits[FBytes[i] & 15];
    }
    return text;
}

TManifest TManifest::Parse(const std::string& text) {
    if (text.size() > MaxBytes)
        throw TError("The manifest is too large");
    TManifest manifest;
    auto fail = [](int number, const std::string& what) {
        if (number == 0)
            throw TError("The manifest is empty");
        throw TError("The manifest's line " + std::to_string(number) + " " + what);
    };
    ForEachLine(
        text, Header,
        [&](int number, std::string_view line) {
            const std::size_t firstBlank = line.find(' ');
            const std::size_t secondBlank = firstBlank == std::string_view::npos
                                                ? std::string_view::npos
                                                : line.find(' ', firstBlank + 1);
            if (secondBlank == std::string_view::npos)
                fail(number, "is not \"hash size name\"");
            const std::string_view hash = line.substr(0, firstBlank);
            const std::string_view size = line.substr(firstBlank + 1, secondBlank - firstBlank - 1);
            const std::string_view name = line.substr(secondBlank + 1);
            if (!IsSha256Text(hash))
                fail(number, "holds no SHA-256");
            if (size.empty() || size.size() > 18 ||
                size.find_first_not_of("0123456789") != std::string_view::npos)
                fail(number, "holds no size");
            if (!IsPlainName(name))
                fail(number, "holds no plain file name");
            std::int64_t bytes = 0;
            for (char digit : size)
                bytes = bytes * 10 + (digit - '0');
            // Written in name order, each entry goes at the end: no search of the tree.
            const std::size_t listed = manifest.Files.size();
            manifest.Files.emplace_hint(manifest.Files.end(), std::string(name),
                                        TManifestEntry{bytes, TSha256Digest(hash)});
            if (manifest.Files.size() == listed)
                fail(number,
                     "names " + ControlCharactersShown(std::string(name)) + " a second time");
        },
        fail);
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
        text += entry.Sha256.Text();
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
    auto fail = [](int number, const std::string& what) {
        if (number == 0)
            throw TError("The list of files under way is empty");
        throw TError("The list of files under way: line " + std::to_string(number) + " " + what);
    };
    ForEachLine(
        text, PendingHeader,
        [&](int number, std::string_view line) {
            if (!IsPlainName(line))
                fail(number, "holds no plain file name");
            names.emplace_hint(names.end(), line);
        },
        fail);
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
