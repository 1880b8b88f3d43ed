#pragma once

// The colours of the modern pages, worked out from the colour scheme: every text colour
// moved in lightness, where the stored one falls short, until it reads on its background
// (4.5:1), and a dark variant of the same hues. The stored scheme stays as it is.

#include "model/CColor.h"

struct TModernPalette {
    TColor Page = clWhite;
    TColor Main = clWhite;
    TColor Text = clBlack;
    TColor Title = clBlack; // headings and links of the main region, and the buttons
    TColor WelcomeBg = clWhite, WelcomeText = clBlack;
    TColor TopicBg = clWhite, TopicText = clBlack;
    TColor MenuBg = clWhite, MenuText = clBlack;
    TColor HotspotBg = clWhite, HotspotText = clBlack;
    TColor FootBg = clWhite, FootText = clBlack;

    // The colours as the scheme gives them, text colours mended.
    static TModernPalette Light(const TDColor& scheme);
    // Dark backgrounds and light texts of the scheme's hues, text colours mended.
    static TModernPalette Dark(const TDColor& scheme);
};

// The contrast every text colour reaches on its background.
constexpr double TextContrast = 4.5;
