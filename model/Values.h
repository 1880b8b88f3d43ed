#pragma once

#include "platform/XmlDocument.h"

#include <cstdint>
#include <optional>
#include <string>

// A colour: red in the low byte, green in the next, blue in the third; the top byte is
// zero for plain colours and names special values.
using TColor = std::int32_t;

constexpr TColor RGBColor(int red, int green, int blue) {
    return static_cast<TColor>(static_cast<std::uint32_t>(red & 0xFF) |
                               (static_cast<std::uint32_t>(green & 0xFF) << 8) |
                               (static_cast<std::uint32_t>(blue & 0xFF) << 16));
}
constexpr TColor clBlack = RGBColor(0, 0, 0);
constexpr TColor clWhite = RGBColor(255, 255, 255);
constexpr TColor clSilver = RGBColor(192, 192, 192);

// Strict integer reading: leading spaces, an optional sign, then decimal digits or a
// hexadecimal number after "$", "x", "X", "0x" or "0X"; nothing after the digits; the value
// must fit in 32 bits. Throws TError "'%s' is not a valid integer value".
std::int32_t StrictInteger(const std::string& text);
std::optional<std::int32_t> TryStrictInteger(const std::string& text);
std::string IntegerToText(std::int32_t value);

// Colour names both ways: a name (ASCII case ignored) or else a strict integer.
TColor TextToColor(const std::string& text);
// The colour's name when it has one, else "$" and eight upper-case hexadecimal digits.
std::string ColorToText(TColor color);

// Reading and writing the four value forms of a record's child elements.
void ReadText(TXmlElement element, const char* name, std::string& field);
void ReadInteger(TXmlElement element, const char* name, std::int32_t& field);
void ReadColor(TXmlElement element, const char* name, TColor& field);
void ReadFlag(TXmlElement element, const char* name, bool& field);
void WriteText(TXmlElement element, const char* name, const std::string& value);
void WriteInteger(TXmlElement element, const char* name, std::int32_t value);
void WriteColor(TXmlElement element, const char* name, TColor value);
void WriteFlag(TXmlElement element, const char* name, bool value);
