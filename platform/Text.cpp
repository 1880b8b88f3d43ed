#include "platform/Text.h"

#include <cstdint>
#include <cstring>

std::string TrimBlanks(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
        ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
        --end;
    return text.substr(begin, end - begin);
}

std::string ControlCharactersShown(const std::string& text, std::size_t longest) {
    std::string shown;
    std::size_t characters = 0;
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    for (std::size_t i = 0; i < text.size(); ++characters) {
        if (characters == longest)
            return shown + "...";
        // Decoded first: the continuation bytes of many characters (those of the euro sign
        // among them) lie in 0x80..0x9F, where a C1 control's single byte would.
        const unsigned char lead = byte(i);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xc2 && lead <= 0xdf ? 2
                             : lead >= 0xe0 && lead <= 0xef ? 3
                             : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                            : 0;
        std::uint32_t code = length > 1 ? lead & (0x3fu >> (length - 1)) : lead;
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size() || (byte(i + k) & 0xc0) != 0x80) {
                length = 0;
                break;
            }
            code = (code << 6) | (byte(i + k) & 0x3fu);
        }
        // Over-long forms, surrogates and code points past U+10FFFF are not characters.
        static constexpr std::uint32_t Least[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (length > 1 &&
            (code < Least[length] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff))
            length = 0;
        if (length == 0 || code < 0x20 || (code >= 0x7f && code <= 0x9f)) {
            shown += '?';
            i += length == 0 ? 1 : length;
        } else {
            shown.append(text, i, length);
            i += length;
        }
    }
    return shown;
}

std::string ControlCharactersShownByLine(const std::string& text) {
    std::string shown;
    for (std::size_t at = 0;;) {
        const std::size_t end = text.find('\n', at);
        shown += ControlCharactersShown(text.substr(at, end - at));
        if (end == std::string::npos)
            return shown;
        shown += '\n';
        at = end + 1;
    }
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string PercentEncoded(std::string_view name) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += Hex[c >> 4];
            out += Hex[c & 15];
        }
    }
    return out;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string SecondsText(std::int64_t milliseconds) {
    const std::int64_t seconds = (milliseconds + 999) / 1000;
    return std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
}

std::string ErrorText(int error) {
    return std::strerror(error);
}
