#include "platform/Locale.h"

#include <gtest/gtest.h>

namespace {

struct TPatternGuard {
    ~TPatternGuard() { SetShortDatePattern(""); }
};

TEST(Locale, ShortDatesRoundTripInEveryPattern) {
    TPatternGuard guard;
    struct Case {
        const char* pattern;
        TDate date;
        const char* text;
    } cases[] = {
        {"%m/%d/%Y", {2026, 12, 9}, "12/09/2026"}, {"%m/%d/%y", {2026, 1, 2}, "01/02/2026"},
        {"%d.%m.%Y", {1999, 2, 28}, "28.02.1999"}, {"%Y-%m-%d", {2024, 2, 29}, "2024-02-29"},
        {"%e %b %Y", {2026, 3, 4}, "03/04/2026"}, // month names are not supported: falls back
    };
    for (const Case& c : cases) {
        SetShortDatePattern(c.pattern);
        EXPECT_EQ(FormatShortDate(c.date), c.text) << c.pattern;
        TDate back;
        ASSERT_TRUE(ParseShortDate(c.text, back)) << c.pattern;
        EXPECT_EQ(back, c.date) << c.pattern;
    }
}

TEST(Locale, ParseRefusesWhatIsNotADate) {
    TPatternGuard guard;
    SetShortDatePattern("%d.%m.%Y");
    TDate date{1, 1, 1};
    for (const char* text :
         {"", "31.02.2026", "29.02.2023", "1.13.2026", "12.12", "a.b.c", "01.01.2026x", "0.1.2026"})
        EXPECT_FALSE(ParseShortDate(text, date)) << text;
    EXPECT_EQ(date, (TDate{1, 1, 1}));
    EXPECT_TRUE(ParseShortDate(" 1.2.2026 ", date));
    EXPECT_EQ(date, (TDate{2026, 2, 1}));
}

TEST(Locale, TodayRoundTripsInTheUsersOwnPattern) {
    TDate back;
    ASSERT_TRUE(ParseShortDate(TodayShortDate(), back)) << ShortDatePattern();
    EXPECT_EQ(back, Today());
}

TEST(Locale, TodayCanBeFixedAndReturnsToTheClock) {
    TPatternGuard guard;
    SetShortDatePattern("%d.%m.%Y");
    const TDate clock = Today();
    const TDate fixed{2003, 7, 4};
    SetToday(fixed);
    EXPECT_EQ(Today(), fixed);
    EXPECT_EQ(TodayShortDate(), "04.07.2003");
    SetToday(std::nullopt);
    // The clock may pass midnight in between, but it does not go back to 2003.
    EXPECT_GE(Today().Year, clock.Year);
    EXPECT_NE(Today(), fixed);
}

TEST(Locale, ThousandsSeparator) {
    SetThousandsSeparator(".");
    EXPECT_EQ(FormatThousands(0), "0");
    EXPECT_EQ(FormatThousands(999), "999");
    EXPECT_EQ(FormatThousands(1000), "1.000");
    EXPECT_EQ(FormatThousands(1234567), "1.234.567");
    EXPECT_EQ(FormatThousands(-1234), "-1.234");
    SetThousandsSeparator(",");
    EXPECT_EQ(FormatThousands(12345), "12,345");
}

} // namespace

TEST(Locale, ATimeOutsideFourDigitYearsIsShownAsItsSeconds) {
    // Year 10000, a year just past the largest int (tm_year + 1900 would overflow), and a
    // time no clock reaches.
    for (const std::int64_t seconds : {std::int64_t{253402387200}, std::int64_t{67768017955237520},
                                       std::int64_t{999999999999999999}}) {
        SCOPED_TRACE(seconds);
        EXPECT_EQ(FormatDateTime(seconds), std::to_string(seconds));
    }
    EXPECT_NE(FormatDateTime(1800000000), "1800000000");
}
