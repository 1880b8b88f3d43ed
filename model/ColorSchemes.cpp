#include "model/ColorSchemes.h"

#include "model/Contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A colour written as the web writes it, 0xRRGGBB.
constexpr TColor Hex(unsigned rgb) {
    return RGBColor(static_cast<int>((rgb >> 16) & 0xFFu), static_cast<int>((rgb >> 8) & 0xFFu),
                    static_cast<int>(rgb & 0xFFu));
}

// The fifteen colours of a scheme in the record's order, as 0xRRGGBB.
struct THexScheme {
    unsigned Base, Bg, TextBg, Title, Text, WelcomeBg, WelcomeText, TopicBg, TopicText, MenuBg,
        MenuText, HotspotBg, HotspotText, FootBg, FootText;
};

TDColor FromHex(const THexScheme& h) {
    TDColor c;
    c.BASE = Hex(h.Base);
    c.BG = Hex(h.Bg);
    c.TEXT_BG = Hex(h.TextBg);
    c.TITLE = Hex(h.Title);
    c.TEXT = Hex(h.Text);
    c.WELCOME_BG = Hex(h.WelcomeBg);
    c.WELCOME_TEXT = Hex(h.WelcomeText);
    c.TOPIC_BG = Hex(h.TopicBg);
    c.TOPIC_TEXT = Hex(h.TopicText);
    c.MENU_BG = Hex(h.MenuBg);
    c.MENU_TEXT = Hex(h.MenuText);
    c.HOTSPOT_BG = Hex(h.HotspotBg);
    c.HOTSPOT_TEXT = Hex(h.HotspotText);
    c.FOOT_BG = Hex(h.FootBg);
    c.FOOT_TEXT = Hex(h.FootText);
    return c;
}

// Black or white, whichever stands further from background.
TColor BlackOrWhite(TColor background) {
    return ContrastRatio(clBlack, background) >= ContrastRatio(clWhite, background) ? clBlack
                                                                                    : clWhite;
}

} // namespace

const std::vector<TNamedScheme>& ReadySchemes() {
    // base, page, text area, title, text, welcome bar (background, text), topic, menu,
    // hotspot, foot.
    static const std::vector<TNamedScheme> schemes = {
        {"Black on White",
         FromHex({0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0x000000, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF,
                  0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000})},
        {"Paper",
         FromHex({0x5A5A52, 0xF4F4F0, 0xFFFFFF, 0x2B2B28, 0x222222, 0x333330, 0xFFFFFF, 0xFFFFFF,
                  0x111111, 0xE4E4DC, 0x222222, 0xF4F4F0, 0x333333, 0x333330, 0xF0F0EA})},
        {"Ocean",
         FromHex({0x1E5A8C, 0xEAF2F8, 0xFFFFFF, 0x1E5A8C, 0x1B2631, 0x0E2F4D, 0xFFFFFF, 0x1E5A8C,
                  0xFFFFFF, 0xD4E6F1, 0x0E2F4D, 0xEAF2F8, 0x1B2631, 0x0E2F4D, 0xD4E6F1})},
        {"Forest",
         FromHex({0x2E6B3A, 0xEEF5EC, 0xFFFFFF, 0x2E6B3A, 0x1C2B1E, 0x1B3D22, 0xFFFFFF, 0x2E6B3A,
                  0xFFFFFF, 0xDCEBD8, 0x1B3D22, 0xEEF5EC, 0x1C2B1E, 0x1B3D22, 0xDCEBD8})},
        {"Terracotta",
         FromHex({0xA0452A, 0xFBF1EC, 0xFFFFFF, 0x9A3F24, 0x2B1A14, 0x5C2414, 0xFFFFFF, 0xA0452A,
                  0xFFFFFF, 0xF3DCD2, 0x5C2414, 0xFBF1EC, 0x2B1A14, 0x5C2414, 0xF3DCD2})},
        {"Plum",
         FromHex({0x6B2F6B, 0xF6EEF6, 0xFFFFFF, 0x6B2F6B, 0x2A1A2A, 0x3D1A3D, 0xFFFFFF, 0x6B2F6B,
                  0xFFFFFF, 0xEBDAEB, 0x3D1A3D, 0xF6EEF6, 0x2A1A2A, 0x3D1A3D, 0xEBDAEB})},
        {"Slate",
         FromHex({0x4A5568, 0xEDF0F4, 0xFFFFFF, 0x2D3748, 0x1A202C, 0x2D3748, 0xF7FAFC, 0x4A5568,
                  0xFFFFFF, 0xE2E8F0, 0x1A202C, 0xEDF0F4, 0x2D3748, 0x1A202C, 0xE2E8F0})},
        {"Sand",
         FromHex({0xC8A165, 0xFAF6EE, 0xFFFFFF, 0x7A5A1E, 0x2E2619, 0x3B3022, 0xFAF6EE, 0xE8D8B8,
                  0x3B3022, 0xC8A165, 0x1E180F, 0xF3EBDC, 0x2E2619, 0x3B3022, 0xE8D8B8})},
        {"Night",
         FromHex({0x2A2E35, 0x121417, 0x1C1F24, 0xF0C674, 0xE6E6E6, 0x000000, 0xCCCCCC, 0x2A2E35,
                  0xFFFFFF, 0x23272D, 0xE6E6E6, 0x23272D, 0xD0D0D0, 0x000000, 0xBBBBBB})},
        {"High Contrast",
         FromHex({0x000000, 0x000000, 0x000000, 0xFFFF00, 0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000,
                  0xFFFF00, 0xFFFF00, 0x000000, 0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF})},
    };
    return schemes;
}

TDColor SchemeFromBase(TColor base) {
    base &= 0xFFFFFF;
    const auto shade = [base](double lightness) { return WithLightness(base, lightness); };
    const auto on = [](TColor text, TColor background) {
        return WithContrast(text, background, TextContrastMinimum);
    };
    TDColor c;
    c.BASE = base;
    c.BG = shade(0.95);
    c.TEXT_BG = clWhite;
    c.TITLE = on(base, c.TEXT_BG);
    c.TEXT = on(shade(0.13), c.TEXT_BG);
    c.WELCOME_BG = shade(0.18);
    c.WELCOME_TEXT = on(clWhite, c.WELCOME_BG);
    // The topic bar shows the base colour itself, with black or white on it.
    c.TOPIC_BG = base;
    c.TOPIC_TEXT = on(BlackOrWhite(base), c.TOPIC_BG);
    c.MENU_BG = shade(0.88);
    c.MENU_TEXT = on(shade(0.18), c.MENU_BG);
    c.HOTSPOT_BG = c.BG;
    c.HOTSPOT_TEXT = on(shade(0.15), c.HOTSPOT_BG);
    c.FOOT_BG = c.WELCOME_BG;
    c.FOOT_TEXT = on(shade(0.88), c.FOOT_BG);
    return c;
}

std::array<TTextPair, TextPairCount> TextPairs(const TDColor& c) {
    const auto under = [&c](TColor own, bool transparent) { return transparent ? c.BG : own; };
    const TColor main = under(c.TEXT_BG, c.TEXT_TRANS);
    return {{
        {"Text", c.TEXT, main},
        {"Title", c.TITLE, main},
        {"Welcome bar text", c.WELCOME_TEXT, under(c.WELCOME_BG, c.WELCOME_TRANS)},
        {"Topic text", c.TOPIC_TEXT, under(c.TOPIC_BG, c.TOPIC_TRANS)},
        {"Menu text", c.MENU_TEXT, under(c.MENU_BG, c.MENU_TRANS)},
        {"Hotspot text", c.HOTSPOT_TEXT, under(c.HOTSPOT_BG, c.HOTSPOT_TRANS)},
        {"Foot text", c.FOOT_TEXT, under(c.FOOT_BG, c.FOOT_TRANS)},
    }};
}

double LowestTextContrast(const TDColor& scheme) {
    double lowest = 21.0;
    for (const TTextPair& pair : TextPairs(scheme))
        lowest = std::min(lowest, ContrastRatio(pair.Text, pair.Background));
    return lowest;
}

std::string ContrastLine(const std::string& what, double ratio) {
    // Cut to one decimal; the small allowance keeps 7.3 from showing as 7.2 when the
    // arithmetic lands a hair below it.
    const double shown = std::floor(ratio * 10.0 + 1e-9) / 10.0;
    char number[16];
    std::snprintf(number, sizeof number, "%.1f", shown);
    std::string line = what;
    line += " on background: ";
    line += number;
    line += ":1, ";
    if (ratio >= TextContrastMinimum)
        line += "passes";
    else
        line += "too low (at least 4.5:1)";
    return line;
}
