#include "model/ColorScheme.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

using TRgb = std::array<int, 3>;

TColor C(const TRgb& rgb) {
    return RGBColor(rgb[0], rgb[1], rgb[2]);
}

// Appended piece by piece: a literal put in front of a temporary string ("(" + text) makes
// g++ 12 warn about an overlapping copy that cannot happen.
std::string Show(TColor color) {
    std::string text = "(";
    text += std::to_string(RedOf(color));
    text += ", ";
    text += std::to_string(GreenOf(color));
    text += ", ";
    text += std::to_string(BlueOf(color));
    text += ')';
    return text;
}

void ExpectSwatches(const TRgb& base, const std::array<TRgb, 16>& expected) {
    const std::array<TColor, 16> swatch = DeriveSwatches(C(base));
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(Show(swatch[i]), Show(C(expected[i])))
            << "base " << Show(C(base)) << ", Shape" << i + 1;
}

enum { R, G, B };

TEST(ColorScheme, ChannelsAreRankedWithFixedTieBreaks) {
    struct Case {
        TRgb rgb;
        std::array<int, 3> channel;
        int h, m, l;
    } cases[] = {
        {{10, 10, 10}, {R, B, G}, 10, 10, 10}, // a gray: red, then blue (green not above it)
        {{255, 0, 0}, {R, B, G}, 255, 0, 0},   // green and blue tie: blue ranks 2
        {{20, 20, 10}, {R, G, B}, 20, 20, 10}, // red wins its tie with green
        {{200, 100, 50}, {R, G, B}, 200, 100, 50},
        {{10, 20, 20}, {G, B, R}, 20, 20, 10}, // green wins its tie with blue, blue above red
        {{15, 20, 10}, {G, R, B}, 20, 15, 10}, // blue not above red: red ranks 2
        {{10, 20, 10}, {G, R, B}, 20, 10, 10}, // red and blue tie: red ranks 2
        {{10, 5, 20}, {B, R, G}, 20, 10, 5},
        {{5, 10, 20}, {B, G, R}, 20, 10, 5},
        {{10, 10, 20}, {B, G, R}, 20, 10, 10}, // red and green tie: green ranks 2
    };
    for (const Case& c : cases) {
        const TColorSplit s = SplitColor(C(c.rgb));
        EXPECT_EQ(s.Channel, c.channel) << Show(C(c.rgb));
        EXPECT_EQ(s.H, c.h) << Show(C(c.rgb));
        EXPECT_EQ(s.M, c.m) << Show(C(c.rgb));
        EXPECT_EQ(s.L, c.l) << Show(C(c.rgb));
        EXPECT_EQ(s.Compose(s.H, s.M, s.L), C(c.rgb));
    }
    // Halves of an odd range: the first drops the remainder, the second keeps it.
    const TColorSplit red = SplitColor(C({255, 0, 0}));
    EXPECT_EQ(red.FirstHalf(), 127);
    EXPECT_EQ(red.SecondHalf(), 128);
    EXPECT_EQ(red.Complement(255, 0, 0), C({0, 255, 255}));
    // The top byte of a named special colour plays no part.
    EXPECT_EQ(SplitColor(0x1FFFFFFF).H, 255);
    EXPECT_EQ(ColorHint(static_cast<TColor>(0xFF00000F)), "15.0.0");
}

TEST(ColorScheme, WhiteAndBlackOnlyLightenOrDarken) {
    const TRgb w{255, 255, 255}, k{0, 0, 0};
    ExpectSwatches(w, {w, w, w, w,                                     //
                       w, TRgb{204, 204, 204}, TRgb{153, 153, 153}, w, //
                       w, TRgb{51, 51, 51}, TRgb{102, 102, 102}, w,    //
                       w, w, w, w});
    ExpectSwatches(k, {k, k, k, k,                                     //
                       k, TRgb{51, 51, 51}, TRgb{102, 102, 102}, k,    //
                       k, TRgb{204, 204, 204}, TRgb{153, 153, 153}, k, //
                       k, k, k, k});
    EXPECT_EQ(SplitColor(C(w)).H, 255);
    EXPECT_EQ(SplitColor(C(k)).H, 0);
}

TEST(ColorScheme, TheThreeCasesRowByRow) {
    // Case 2: the two lower channels are equal.
    ExpectSwatches({255, 0, 0}, {TRgb{255, 0, 0},
                                 {255, 127, 0},
                                 {255, 255, 0},
                                 {128, 255, 0},
                                 {255, 0, 127},
                                 {204, 0, 0},
                                 {153, 0, 0},
                                 {0, 255, 0},
                                 {255, 0, 255},
                                 {51, 255, 255},
                                 {102, 255, 255},
                                 {0, 255, 127},
                                 {128, 0, 255},
                                 {0, 0, 255},
                                 {0, 127, 255},
                                 {0, 255, 255}});
    // Case 3: three different channels, raised and lowered within H and L.
    ExpectSwatches({200, 100, 50}, {TRgb{200, 100, 50},
                                    {200, 175, 50},
                                    {150, 200, 50},
                                    {75, 200, 50},
                                    {200, 50, 75},
                                    {149, 49, 0},
                                    {98, 0, 0},
                                    {50, 200, 100},
                                    {200, 50, 150},
                                    {106, 206, 255},
                                    {157, 255, 255},
                                    {50, 200, 175},
                                    {175, 50, 200},
                                    {100, 50, 200},
                                    {50, 75, 200},
                                    {50, 150, 200}});
    // Case 1: the two upper channels are equal; a dark base lightens (H = 100, range 50).
    ExpectSwatches({100, 100, 50}, {TRgb{100, 100, 50},
                                    {75, 100, 50},
                                    {50, 100, 50},
                                    {50, 100, 75},
                                    {100, 75, 50},
                                    {151, 151, 101},
                                    {202, 202, 152},
                                    {50, 100, 100},
                                    {100, 50, 50},
                                    {104, 104, 154},
                                    {53, 53, 103},
                                    {50, 75, 100},
                                    {100, 50, 75},
                                    {100, 50, 100},
                                    {75, 50, 100},
                                    {50, 50, 100}});
}

TEST(ColorScheme, DerivationKeepsBaseAndComplementsOverEveryKindOfColour) {
    // Across a grid of colours: Shape1 is the base, Shape10 and Shape11 are the complements
    // of Shape6 and Shape7, and the lighter or darker step follows H.
    for (int r = 0; r <= 255; r += 15)
        for (int g = 0; g <= 255; g += 17)
            for (int b = 0; b <= 255; b += 51) {
                const TColor base = RGBColor(r, g, b);
                const std::array<TColor, 16> s = DeriveSwatches(base);
                ASSERT_EQ(s[0], base);
                for (std::size_t light : {5u, 6u}) {
                    const TColor c = s[light], complement = s[light + 4];
                    ASSERT_EQ(RedOf(c) + RedOf(complement), 255) << Show(base);
                    ASSERT_EQ(GreenOf(c) + GreenOf(complement), 255) << Show(base);
                    ASSERT_EQ(BlueOf(c) + BlueOf(complement), 255) << Show(base);
                }
                const int h = SplitColor(base).H, h6 = SplitColor(s[5]).H;
                ASSERT_EQ(h6, h <= 127 ? h + 51 : h - 51) << Show(base);
                // No derived swatch reaches outside the base's own range.
                for (std::size_t i : {0, 1, 2, 3, 4, 7, 8, 11, 12, 13, 14, 15})
                    for (int v : {RedOf(s[i]), GreenOf(s[i]), BlueOf(s[i])})
                        ASSERT_TRUE(v >= SplitColor(base).L && v <= h)
                            << Show(base) << ", Shape" << i + 1;
            }
}

TEST(ColorScheme, TrackBarShiftsTheBaseAndStopsAtZero) {
    struct Case {
        TRgb base;
        int position;
        TRgb result;
    } cases[] = {
        {{200, 100, 50}, 100, {100, 0, 0}},
        {{100, 0, 0}, 200, {200, 100, 100}}, // the lost difference does not come back
        {{100, 50, 0}, 255, {255, 205, 155}},
        {{200, 100, 50}, 200, {200, 100, 50}},
        {{10, 20, 30}, 0, {0, 0, 0}},
        {{0, 0, 0}, 128, {128, 128, 128}},
        {{30, 90, 60}, 60, {0, 60, 30}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Show(ShiftBaseColor(C(c.base), c.position)), Show(C(c.result)))
            << Show(C(c.base)) << " to " << c.position;
    // Down to 100 and back to 200 on (200, 100, 50).
    const TColor down = ShiftBaseColor(C({200, 100, 50}), 100);
    EXPECT_EQ(Show(ShiftBaseColor(down, 200)), Show(C({200, 100, 100})));
}

TEST(ColorScheme, HintsAreRedGreenBlueInDecimal) {
    EXPECT_EQ(ColorHint(clWhite), "255.255.255");
    EXPECT_EQ(ColorHint(clBlack), "0.0.0");
    EXPECT_EQ(ColorHint(clSilver), "192.192.192");
    EXPECT_EQ(ColorHint(RGBColor(200, 100, 5)), "200.100.5");
}

} // namespace
