#include "publish/Manifest.h"

#include "platform/Error.h"
#include "platform/Text.h"

#include <cstdio>
#include <ctime>
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

// What the writer's line holds in place of a hash: no file has this SHA-256 that anyone knows.
const std::string NoHash(64, '0');

bool IsPublisherId(const std::string& id) {
    return !id.empty() && id.size() <= 64 &&
           id.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The writer named by the name of a line with NoHash and size 0; false when it is no such name.
bool ParsePublisher(const std::string& name, std::string& id, std::int64_t& seconds) {
    const std::string prefix = TManifest::PublisherPrefix;
    if (name.rfind(prefix, 0) != 0)
        return false;
    const std::size_t at = name.find(" at ", prefix.size());
    if (at == std::string::npos)
        return false;
    id = name.substr(prefix.size(), at - prefix.size());
    return IsPublisherId(id) && TManifest::ParseTime(name.substr(at + 4), seconds);
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

std::string TManifest::TimeText(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm fields{};
    if (!::gmtime_r(&time, &fields))
        return std::string();
    char text[32];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &fields) == 0)
        return std::string();
    return text;
}

bool TManifest::ParseTime(const std::string& text, std::int64_t& seconds) {
    std::tm fields{};
    char zone = 0;
    int consumed = 0;
    if (text.size() != 20 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%n", &fields.tm_year, &fields.tm_mon,
                    &fields.tm_mday, &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &zone,
                    &consumed) != 7 ||
        consumed != 20 || zone != 'Z')
        return false;
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    seconds = static_cast<std::int64_t>(::timegm(&fields));
    // The same text again, or the fields were out of range.
    return TimeText(seconds) == text;
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
            // The writer's line names no file; one that does not read as such a line is left
            // out as well (an earlier release would delete what it names, which is not there).
            if (hash == NoHash && size == "0" &&
                name.substr(0, std::string_view(PublisherPrefix).size()) == PublisherPrefix) {
                std::string id;
                std::int64_t seconds = 0;
                if (manifest.PublisherId.empty() &&
                    ParsePublisher(std::string(name), id, seconds)) {
                    manifest.PublisherId = id;
                    manifest.PublishedAt = seconds;
                }
                return;
            }
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
    if (IsPublisherId(PublisherId)) {
        const std::string name =
            std::string(PublisherPrefix) + PublisherId + " at " + TimeText(PublishedAt);
        // A site file of that very name would make the line a name given twice.
        if (Files.count(name) == 0)
            text += NoHash + " 0 " + name + '\n';
    }
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
