#pragma once

// Whole colour schemes at once: the ready-made ones the colour dialog offers, the scheme
// made from one base colour, and the pairs of text and background a visitor reads, each of
// which must stand at least AA's 4.5:1 apart.

#include "model/CColor.h"

#include <array>
#include <string>
#include <vector>

// The contrast normal text needs on its background (WCAG AA).
constexpr double TextContrastMinimum = 4.5;

// A ready-made scheme: its name as the dialog shows it, and every colour of it (the
// transparency flags clear: every part solid).
struct TNamedScheme {
    const char* Name;
    TDColor Scheme;
};

// The ready-made schemes, in the order the dialog lists them.
const std::vector<TNamedScheme>& ReadySchemes();

// The whole scheme from one colour: the base itself for the titles and the topic bar, light
// tints of it behind the texts, dark shades of it for the welcome bar and the foot, every
// text moved in lightness (keeping its hue) until it stands at least
// TextContrastMinimum from its background. BASE is the base colour; every part is solid.
TDColor SchemeFromBase(TColor base);

// One text as a visitor reads it: its colour and the background it stands on (the page's
// background where its own is transparent).
struct TTextPair {
    const char* Name; // "Text", "Title", "Welcome bar text", ...
    TColor Text;
    TColor Background;
};

constexpr int TextPairCount = 7;
// The seven texts of a scheme: the text and the title on the text area, then the welcome
// bar, the topic, the menu, the hotspot column and the foot, each on its background.
std::array<TTextPair, TextPairCount> TextPairs(const TDColor& scheme);

// The lowest contrast among the texts of a scheme.
double LowestTextContrast(const TDColor& scheme);

// The line the dialog shows under its sample: "Text on background: 7.2:1, passes", or,
// below TextContrastMinimum, "Text on background: 3.1:1, too low (at least 4.5:1)". The
// ratio is cut (not rounded) to one decimal, so a pair that fails never shows 4.5.
std::string ContrastLine(const std::string& what, double ratio);
