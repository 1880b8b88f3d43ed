// The contrast arithmetic of the accessibility guidelines, and lightness moves in HSL.

#include "model/Contrast.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct TRgb {
    double R, G, B; // 0 to 1
};

struct THsl {
    double H, S, L; // H in 0 to 6 (sixths of the circle), S and L in 0 to 1
};

TRgb ToRgb(TColor color) {
    const auto c = static_cast<std::uint32_t>(color);
    return {static_cast<double>(c & 0xFFu) / 255.0, static_cast<double>((c >> 8) & 0xFFu) / 255.0,
            static_cast<double>((c >> 16) & 0xFFu) / 255.0};
}

TColor FromRgb(const TRgb& rgb) {
    const auto channel = [](double v) {
        return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
    };
    return RGBColor(channel(rgb.R), channel(rgb.G), channel(rgb.B));
}

THsl ToHsl(const TRgb& c) {
    const double high = std::max({c.R, c.G, c.B});
    const double low = std::min({c.R, c.G, c.B});
    THsl hsl{0.0, 0.0, (high + low) / 2.0};
    const double span = high - low;
    if (span <= 0.0)
        return hsl;
    hsl.S = hsl.L > 0.5 ? span / (2.0 - high - low) : span / (high + low);
    if (high == c.R)
        hsl.H = std::fmod((c.G - c.B) / span + 6.0, 6.0);
    else if (high == c.G)
        hsl.H = (c.B - c.R) / span + 2.0;
    else
        hsl.H = (c.R - c.G) / span + 4.0;
    return hsl;
}

TRgb FromHsl(const THsl& hsl) {
    const double chroma = (1.0 - std::fabs(2.0 * hsl.L - 1.0)) * hsl.S;
    const double x = chroma * (1.0 - std::fabs(std::fmod(hsl.H, 2.0) - 1.0));
    const double m = hsl.L - chroma / 2.0;
    TRgb rgb{0.0, 0.0, 0.0};
    switch (static_cast<int>(hsl.H) % 6) {
    case 0:
        rgb = {chroma, x, 0.0};
        break;
    case 1:
        rgb = {x, chroma, 0.0};
        break;
    case 2:
        rgb = {0.0, chroma, x};
        break;
    case 3:
        rgb = {0.0, x, chroma};
        break;
    case 4:
        rgb = {x, 0.0, chroma};
        break;
    default:
        rgb = {chroma, 0.0, x};
        break;
    }
    return {rgb.R + m, rgb.G + m, rgb.B + m};
}

double Linear(double channel) {
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

// The lightness between from and to (one of them 0 or 1) nearest to from at which the colour
// reaches the ratio, when to reaches it; found by halving, then checked on the rounded colour.
bool Reach(const THsl& hsl, double to, TColor background, double ratio, TColor& result) {
    THsl probe = hsl;
    probe.L = to;
    if (ContrastRatio(FromRgb(FromHsl(probe)), background) < ratio)
        return false;
    double pass = to, fail = hsl.L;
    for (int step = 0; step < 30; ++step) {
        probe.L = (pass + fail) / 2.0;
        if (ContrastRatio(FromRgb(FromHsl(probe)), background) >= ratio)
            pass = probe.L;
        else
            fail = probe.L;
    }
    probe.L = pass;
    result = FromRgb(FromHsl(probe));
    // Rounding to whole channels may lose the last bit: one more step towards the end.
    const double nudge = to > hsl.L ? 0.002 : -0.002;
    while (ContrastRatio(result, background) < ratio && probe.L != to) {
        probe.L = std::clamp(probe.L + nudge, 0.0, 1.0);
        result = FromRgb(FromHsl(probe));
    }
    return ContrastRatio(result, background) >= ratio;
}

} // namespace

double RelativeLuminance(TColor color) {
    const TRgb c = ToRgb(color);
    return 0.2126 * Linear(c.R) + 0.7152 * Linear(c.G) + 0.0722 * Linear(c.B);
}

double ContrastRatio(TColor a, TColor b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TColor WithContrast(TColor color, TColor background, double ratio) {
    color &= 0xFFFFFF;
    if (ContrastRatio(color, background) >= ratio)
        return color;
    const THsl hsl = ToHsl(ToRgb(color));
    const bool lightBackground = RelativeLuminance(background) > 0.18;
    TColor result = color;
    if (Reach(hsl, lightBackground ? 0.0 : 1.0, background, ratio, result) ||
        Reach(hsl, lightBackground ? 1.0 : 0.0, background, ratio, result))
        return result;
    return ContrastRatio(clBlack, background) >= ContrastRatio(clWhite, background) ? clBlack
                                                                                    : clWhite;
}

TColor WithLightness(TColor color, double lightness) {
    THsl hsl = ToHsl(ToRgb(color));
    hsl.L = std::clamp(lightness, 0.0, 1.0);
    return FromRgb(FromHsl(hsl));
}
