// The contrast arithmetic and the lightness moves that mend a colour pair.

#include "model/Contrast.h"

#include <gtest/gtest.h>

namespace {

TEST(ContrastRatio, KnownPairs) {
    struct TCase {
        TColor A, B;
        double Ratio;
    } const cases[] = {
        {clBlack, clWhite, 21.0},
        {clWhite, clBlack, 21.0},
        {clWhite, clWhite, 1.0},
        {RGBColor(0x77, 0x77, 0x77), clWhite, 4.48},
        {RGBColor(0x76, 0x76, 0x76), clWhite, 4.54},
        {RGBColor(0, 0, 255), clWhite, 8.59},
    };
    for (const TCase& c : cases)
        EXPECT_NEAR(ContrastRatio(c.A, c.B), c.Ratio, 0.01) << std::hex << c.A << " " << c.B;
}

TEST(WithContrast, MovesOnlyAsFarAsNeededAndKeepsPassingColours) {
    struct TCase {
        TColor Color, Background;
        double Ratio;
    } const cases[] = {
        {RGBColor(0x80, 0x80, 0x80), clWhite, 4.5},      // grey on white: darker
        {RGBColor(0x80, 0x80, 0x80), clBlack, 7.0},      // grey on black: lighter
        {RGBColor(255, 255, 0), clWhite, 4.5},           // yellow on white
        {RGBColor(0, 0, 128), RGBColor(0, 0, 128), 4.5}, // the background's own colour
        {RGBColor(0x80, 0x80, 0x80), RGBColor(0x80, 0x80, 0x80), 3.0},
        {RGBColor(0x20, 0x40, 0x60), RGBColor(0x76, 0x76, 0x76), 4.5}, // a middle background
        {clWhite, clWhite, 21.0},                                      // only black reaches it
    };
    for (const TCase& c : cases) {
        const TColor mended = WithContrast(c.Color, c.Background, c.Ratio);
        EXPECT_GE(ContrastRatio(mended, c.Background), c.Ratio) << std::hex << c.Color;
    }
    // A pair that passes is left alone; a mended colour keeps its hue's order of channels.
    EXPECT_EQ(WithContrast(clBlack, clWhite, 4.5), clBlack);
    const TColor orange = WithContrast(RGBColor(255, 160, 0), clWhite, 4.5);
    EXPECT_GT(orange & 0xFF, (orange >> 8) & 0xFF);
    EXPECT_GT((orange >> 8) & 0xFF, (orange >> 16) & 0xFF);
    EXPECT_LT(ContrastRatio(orange, clWhite), 4.7); // no further than needed
}

TEST(WithLightness, KeepsTheHue) {
    EXPECT_EQ(WithLightness(RGBColor(255, 0, 0), 0.25), RGBColor(128, 0, 0));
    EXPECT_EQ(WithLightness(clWhite, 0.0), clBlack);
    EXPECT_EQ(WithLightness(RGBColor(0, 0, 255), 2.0), clWhite);
}

} // namespace
