#include "model/Values.h"

#include "platform/Error.h"
#include "platform/Text.h"

#include <cstring>

namespace {

struct TColorName {
    const char* Name;
    std::uint32_t Value;
};

constexpr std::uint32_t Sys = 0xFF000000u;

const TColorName ColorNames[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", 0x1FFFFFFF},
    {"clDefault", 0x20000000},
    {"clScrollBar", Sys + 0},
    {"clBackground", Sys + 1},
    {"clActiveCaption", Sys + 2},
    {"clInactiveCaption", Sys + 3},
    {"clMenu", Sys + 4},
    {"clWindow", Sys + 5},
    {"clWindowFrame", Sys + 6},
    {"clMenuText", Sys + 7},
    {"clWindowText", Sys + 8},
    {"clCaptionText", Sys + 9},
    {"clActiveBorder", Sys + 10},
    {"clInactiveBorder", Sys + 11},
    {"clAppWorkSpace", Sys + 12},
    {"clHighlight", Sys + 13},
    {"clHighlightText", Sys + 14},
    {"clBtnFace", Sys + 15},
    {"clBtnShadow", Sys + 16},
    {"clGrayText", Sys + 17},
    {"clBtnText", Sys + 18},
    {"clInactiveCaptionText", Sys + 19},
    {"clBtnHighlight", Sys + 20},
    {"cl3DDkShadow", Sys + 21},
    {"cl3DLight", Sys + 22},
    {"clInfoText", Sys + 23},
    {"clInfoBk", Sys + 24},
    {"clHotLight", Sys + 26},
    {"clGradientActiveCaption", Sys + 27},
    {"clGradientInactiveCaption", Sys + 28},
    {"clMenuHighlight", Sys + 29},
    {"clMenuBar", Sys + 30},
};

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
    std::size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

std::optional<std::int32_t> TryStrictInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    std::uint64_t value = 0;
    if (hex) {
        for (; i < text.size(); ++i) {
            int d = HexDigitValue(text[i]);
            if (d < 0)
                return std::nullopt;
            value = value * 16 + static_cast<std::uint64_t>(d);
            if (value > 0xFFFFFFFFull)
                return std::nullopt;
        }
        // A hexadecimal value of 32 bits: the highest bit makes it negative.
        std::uint32_t bits = static_cast<std::uint32_t>(value);
        if (negative)
            bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > 2147483648ull)
            return std::nullopt;
    }
    if (negative)
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
    if (value > 2147483647ull)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t StrictInteger(const std::string& text) {
    std::optional<std::int32_t> value = TryStrictInteger(text);
    if (!value)
        throw TError("'" + text + "' is not a valid integer value");
    return *value;
}

std::string IntegerToText(std::int32_t value) {
    return std::to_string(value);
}

TColor TextToColor(const std::string& text) {
    for (const TColorName& entry : ColorNames)
        if (EqualsIgnoringAsciiCase(text, entry.Name))
            return static_cast<TColor>(entry.Value);
    return StrictInteger(text);
}

std::string ColorToText(TColor color) {
    std::uint32_t bits = static_cast<std::uint32_t>(color);
    for (const TColorName& entry : ColorNames)
        if (entry.Value == bits)
            return entry.Name;
    static const char digits[] = "0123456789ABCDEF";
    std::string out = "$";
    for (int shift = 28; shift >= 0; shift -= 4)
        out += digits[(bits >> shift) & 0xF];
    return out;
}

void ReadText(TXmlElement element, const char* name, std::string& field) {
    if (TXmlElement child = ChildByName(element, name))
        field = ElementText(child);
}

void ReadInteger(TXmlElement element, const char* name, std::int32_t& field) {
    if (TXmlElement child = ChildByName(element, name))
        field = StrictInteger(ElementText(child));
}

void ReadColor(TXmlElement element, const char* name, TColor& field) {
    if (TXmlElement child = ChildByName(element, name))
        field = TextToColor(ElementText(child));
}

void ReadFlag(TXmlElement element, const char* name, bool& field) {
    field = static_cast<bool>(ChildByName(element, name));
}

void WriteText(TXmlElement element, const char* name, const std::string& value) {
    SetElementText(AppendChild(element, name), value);
}

void WriteInteger(TXmlElement element, const char* name, std::int32_t value) {
    WriteText(element, name, IntegerToText(value));
}

void WriteColor(TXmlElement element, const char* name, TColor value) {
    WriteText(element, name, ColorToText(value));
}

void WriteFlag(TXmlElement element, const char* name, bool value) {
    if (value)
        AppendChild(element, name);
}
