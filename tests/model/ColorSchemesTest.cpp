// Whole schemes: every ready-made one and every scheme made from a base colour keeps each
// text at AA contrast on its background; the dialog's contrast line.

#include "model/ColorSchemes.h"

#include "model/ColorScheme.h"
#include "model/Contrast.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// Each text of the scheme on its background, by name, with the ratio when it fails.
std::vector<std::string> Faults(const TDColor& scheme) {
    std::vector<std::string> faults;
    for (const TTextPair& pair : TextPairs(scheme)) {
        const double ratio = ContrastRatio(pair.Text, pair.Background);
        if (ratio < TextContrastMinimum)
            faults.push_back(ContrastLine(pair.Name, ratio));
    }
    return faults;
}

TEST(ColorSchemes, EveryTextPassesAaInReadyAndDerivedSchemes) {
    std::vector<std::pair<std::string, TDColor>> schemes;
    std::set<std::string> names;
    for (const TNamedScheme& ready : ReadySchemes()) {
        schemes.emplace_back(ready.Name, ready.Scheme);
        EXPECT_TRUE(names.insert(ready.Name).second) << ready.Name << " twice";
    }
    EXPECT_GE(ReadySchemes().size(), 8u);
    // Every kind of base, as stored (0xBBGGRR): white, black, the greys (the middle ones,
    // where neither black nor white stands far off), pure and pale hues, and a top byte
    // that plays no part.
    const TColor bases[] = {clWhite,  clBlack,  clSilver, 0x808080, 0x767676,  0x0000FF,
                            0x00FF00, 0xFF0000, 0x00FFFF, 0xFFFF00, 0xFF00FF,  0x3264C8,
                            0x326464, 0x8C5A1E, 0xE6F0FA, 0x030201, 0x7F0080FF};
    for (TColor base : bases) {
        const TDColor derived = SchemeFromBase(base);
        EXPECT_EQ(derived.BASE, base & 0xFFFFFF) << ColorHint(base);
        EXPECT_EQ(derived.TOPIC_BG, base & 0xFFFFFF) << ColorHint(base);
        std::string name = "from ";
        name += ColorHint(base);
        schemes.emplace_back(name, derived);
    }
    for (const auto& [name, scheme] : schemes) {
        EXPECT_EQ(Faults(scheme), std::vector<std::string>()) << name;
        // Every part solid.
        EXPECT_FALSE(scheme.TEXT_TRANS || scheme.WELCOME_TRANS || scheme.TOPIC_TRANS ||
                     scheme.MENU_TRANS || scheme.HOTSPOT_TRANS || scheme.FOOT_TRANS)
            << name;
        EXPECT_GE(LowestTextContrast(scheme), TextContrastMinimum) << name;
    }
}

TEST(ColorSchemes, ContrastLineCutsToOneDecimalAndWarnsBelowAa) {
    struct TCase {
        double Ratio;
        const char* Line;
    } const cases[] = {
        {7.25, "Text on background: 7.2:1, passes"},
        {4.5, "Text on background: 4.5:1, passes"},
        {4.4999, "Text on background: 4.4:1, too low (at least 4.5:1)"},
        {3.14, "Text on background: 3.1:1, too low (at least 4.5:1)"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ContrastLine("Text", c.Ratio), c.Line) << c.Ratio;
}

} // namespace
