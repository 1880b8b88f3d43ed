#include "model/Values.h"
#include "platform/Error.h"

#include <gtest/gtest.h>

namespace {

TEST(Values, StrictIntegerReading) {
    struct Case {
        const char* text;
        std::int32_t value;
    } good[] = {
        {"0", 0},
        {"42", 42},
        {" 42", 42},
        {"   -7", -7},
        {"+5", 5},
        {"007", 7},
        {"$10", 16},
        {"x1f", 31},
        {"X1F", 31},
        {"0x10", 16},
        {"0XfF", 255},
        {"-$10", -16},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"$7FFFFFFF", 2147483647},
        {"$80000000", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"$000000001", 1},
        {"$00FF8000", 0x00FF8000},
    };
    for (const Case& c : good)
        EXPECT_EQ(StrictInteger(c.text), c.value) << c.text;

    const char* bad[] = {"",    "42 ",        " ",           "-",          "+",       "$",
                         "0x",  "2147483648", "-2147483649", "$100000000", "#FF8000", "1e3",
                         "12a", "- 1",        "4 2",         "\t1",        "0x-1"};
    for (const char* text : bad) {
        try {
            StrictInteger(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const TError& e) {
            EXPECT_EQ(e.Message(), std::string("'") + text + "' is not a valid integer value");
        }
    }
}

TEST(Values, ColoursBothWays) {
    struct Case {
        const char* text;
        std::uint32_t value;
        const char* written;
    } cases[] = {
        {"clwhite", 0xFFFFFF, "clWhite"},       {"CLWHITE", 0xFFFFFF, "clWhite"},
        {"16777215", 0xFFFFFF, "clWhite"},      {"$ffffff", 0xFFFFFF, "clWhite"},
        {"$00FF8000", 0xFF8000, "$00FF8000"},   {"$00030201", 0x030201, "$00030201"},
        {"clSilver", 0xC0C0C0, "clSilver"},     {"12632256", 0xC0C0C0, "clSilver"},
        {"clSkyBlue", 0xF0CAA6, "clSkyBlue"},   {"clMoneyGreen", 0xC0DCC0, "clMoneyGreen"},
        {"clCream", 0xF0FBFF, "clCream"},       {"clMedGray", 0xA4A0A0, "clMedGray"},
        {"clNone", 0x1FFFFFFF, "clNone"},       {"cldefault", 0x20000000, "clDefault"},
        {"clBtnFace", 0xFF00000F, "clBtnFace"}, {"clMenuBar", 0xFF00001E, "clMenuBar"},
        {"$FF000019", 0xFF000019, "$FF000019"}, // index 25 has no name
        {"-1", 0xFFFFFFFF, "$FFFFFFFF"},        {"clRed", 0x0000FF, "clRed"},
        {"clBlue", 0xFF0000, "clBlue"},         {"clNavy", 0x800000, "clNavy"},
        {"clTeal", 0x808000, "clTeal"},
    };
    for (const Case& c : cases) {
        TColor color = TextToColor(c.text);
        EXPECT_EQ(static_cast<std::uint32_t>(color), c.value) << c.text;
        EXPECT_EQ(ColorToText(color), c.written) << c.text;
    }
    EXPECT_EQ(ColorToText(RGBColor(1, 2, 3)), "$00030201");
    EXPECT_EQ(ColorToText(RGBColor(0, 128, 255)), "$00FF8000");
    try {
        TextToColor("#FF8000");
        FAIL();
    } catch (const TError& e) {
        EXPECT_EQ(e.Message(), "'#FF8000' is not a valid integer value");
    }
}

} // namespace
