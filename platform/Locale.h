#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The user's locale as far as the program needs it: the short date form (used for page
// dates, written and read back by the page dialog) and the thousands separator.

struct TDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    bool operator==(const TDate&) const = default;
};

// The short date pattern in strftime notation, from the user's locale (LC_TIME); only %d,
// %e, %m, %y and %Y are honoured and a two-digit year is widened to four digits so that a
// date survives being written and read back. A pattern with anything else falls back to
// "%m/%d/%Y".
std::string ShortDatePattern();
// Replaces the pattern (tests, and a later preference); an empty text returns to the locale.
void SetShortDatePattern(const std::string& pattern);

std::string FormatShortDate(const TDate& date);
// 2001-02-03, as sitemaps, time elements and structured data write a date.
std::string FormatIsoDate(const TDate& date);
// Reads a date in the short form; false when the text is not a valid date in that form.
bool ParseShortDate(const std::string& text, TDate& date);
// Today's date from the clock, or the date fixed by SetToday.
TDate Today();
std::string TodayShortDate();
// Fixes the date Today gives (tests, so that pages without a date of their own come out
// the same every day); an empty value returns to the clock.
void SetToday(const std::optional<TDate>& fixed);

// A moment (seconds since 1970) in local time as the user's locale writes a date with its
// time: the short date form, a blank and the time of day in the locale's form (LC_TIME).
// Outside the years 1 to 9999: the seconds in decimal.
std::string FormatDateTime(std::int64_t seconds);
// Replaces the locale's time-of-day form, in strftime notation (tests); an empty text
// returns to the locale.
void SetTimeOfDayPattern(const std::string& pattern);

// The user's thousands separator (LC_NUMERIC), "," when the locale has none.
std::string ThousandsSeparator();
void SetThousandsSeparator(const std::string& separator);
// A whole number with the thousands separator between groups of three digits ("%.0n").
std::string FormatThousands(std::int64_t value);

// The name of the user's locale for messages, as POSIX finds it: LC_ALL, else LC_MESSAGES,
// else LANG, the first that is set and not empty; "C" when none is.
std::string UserLocaleName();
