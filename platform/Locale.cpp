#include "platform/Locale.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <optional>

namespace {

std::mutex LocaleMutex;
std::optional<std::string> PatternOverride;
std::optional<std::string> SeparatorOverride;
std::optional<TDate> TodayOverride;
std::optional<std::string> TimeOfDayOverride;
// What the user's locale says, read once: the locale does not change while the program runs.
std::optional<std::string> LocalePattern;
std::optional<std::string> LocaleSeparator;

std::string FromUserLocale(nl_item item, int category_mask) {
    locale_t loc = ::newlocale(category_mask, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        loc = ::newlocale(category_mask, "C", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0))
        return std::string();
    std::string value = ::nl_langinfo_l(item, loc);
    ::freelocale(loc);
    return value;
}

// Keeps the supported conversions, widens %y, and refuses anything else.
std::optional<std::string> Sanitize(const std::string& pattern) {
    std::string out;
    bool day = false, month = false, year = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%') {
            if (c >= '0' && c <= '9')
                return std::nullopt;
            out += c;
            continue;
        }
        if (++i >= pattern.size())
            return std::nullopt;
        switch (pattern[i]) {
        case 'd':
        case 'e':
            out += "%d";
            day = true;
            break;
        case 'm':
            out += "%m";
            month = true;
            break;
        case 'y':
        case 'Y':
            out += "%Y";
            year = true;
            break;
        default:
            return std::nullopt;
        }
    }
    if (!day || !month || !year)
        return std::nullopt;
    return out;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

std::string TwoDigits(int v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

} // namespace

std::string ShortDatePattern() {
    std::lock_guard<std::mutex> lock(LocaleMutex);
    if (PatternOverride)
        return *PatternOverride;
    if (!LocalePattern) {
        std::optional<std::string> p = Sanitize(FromUserLocale(D_FMT, LC_TIME_MASK));
        LocalePattern = p ? *p : std::string("%m/%d/%Y");
    }
    return *LocalePattern;
}

void SetShortDatePattern(const std::string& pattern) {
    std::lock_guard<std::mutex> lock(LocaleMutex);
    if (pattern.empty()) {
        PatternOverride.reset();
        return;
    }
    std::optional<std::string> p = Sanitize(pattern);
    PatternOverride = p ? *p : std::string("%m/%d/%Y");
}

std::string FormatShortDate(const TDate& date) {
    std::string pattern = ShortDatePattern();
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        char c = pattern[++i];
        if (c == 'd')
            out += TwoDigits(date.Day);
        else if (c == 'm')
            out += TwoDigits(date.Month);
        else {
            std::string y = std::to_string(date.Year);
            while (y.size() < 4)
                y = "0" + y;
            out += y;
        }
    }
    return out;
}

bool ParseShortDate(const std::string& text, TDate& date) {
    std::string pattern = ShortDatePattern();
    std::size_t t = 0;
    TDate result;
    // Leading and trailing blanks are tolerated; the rest must follow the pattern.
    while (t < text.size() && text[t] == ' ')
        ++t;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            if (t >= text.size() || text[t] != pattern[i])
                return false;
            ++t;
            continue;
        }
        char c = pattern[++i];
        std::size_t maxDigits = c == 'Y' ? 4 : 2;
        std::size_t start = t;
        int value = 0;
        while (t < text.size() && t - start < maxDigits && text[t] >= '0' && text[t] <= '9')
            value = value * 10 + (text[t++] - '0');
        if (t == start)
            return false;
        if (c == 'd')
            result.Day = value;
        else if (c == 'm')
            result.Month = value;
        else
            result.Year = (t - start <= 2) ? 2000 + value : value;
    }
    while (t < text.size() && text[t] == ' ')
        ++t;
    if (t != text.size())
        return false;
    if (result.Year < 1 || result.Month < 1 || result.Month > 12 || result.Day < 1 ||
        result.Day > DaysInMonth(result.Year, result.Month))
        return false;
    date = result;
    return true;
}

TDate Today() {
    {
        std::lock_guard<std::mutex> lock(LocaleMutex);
        if (TodayOverride)
            return *TodayOverride;
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return TDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string TodayShortDate() {
    return FormatShortDate(Today());
}

void SetToday(const std::optional<TDate>& fixed) {
    std::lock_guard<std::mutex> lock(LocaleMutex);
    TodayOverride = fixed;
}

std::string FormatDateTime(std::int64_t seconds) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local{};
    // A year past four digits (a clock far off, or a time a server made up) is no date to
    // show, and tm_year + 1900 would overflow near the end of int: the seconds as they are.
    if (!::localtime_r(&time, &local) || local.tm_year < 1 - 1900 || local.tm_year > 9999 - 1900)
        return std::to_string(seconds);
    std::optional<std::string> pattern;
    {
        std::lock_guard<std::mutex> lock(LocaleMutex);
        pattern = TimeOfDayOverride;
    }
    char text[128] = "";
    if (pattern) {
        if (std::strftime(text, sizeof text, pattern->c_str(), &local) == 0)
            text[0] = '\0';
    } else {
        locale_t loc = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
        if (loc == static_cast<locale_t>(0))
            loc = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
        if (loc != static_cast<locale_t>(0)) {
            if (::strftime_l(text, sizeof text, "%X", &local, loc) == 0)
                text[0] = '\0';
            ::freelocale(loc);
        }
    }
    std::string result =
        FormatShortDate(TDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
    if (text[0] != '\0')
        result.append(" ").append(text);
    return result;
}

void SetTimeOfDayPattern(const std::string& pattern) {
    std::lock_guard<std::mutex> lock(LocaleMutex);
    if (pattern.empty())
        TimeOfDayOverride.reset();
    else
        TimeOfDayOverride = pattern;
}

std::string ThousandsSeparator() {
    std::lock_guard<std::mutex> lock(LocaleMutex);
    if (SeparatorOverride)
        return *SeparatorOverride;
    if (!LocaleSeparator) {
        std::string sep = FromUserLocale(THOUSEP, LC_NUMERIC_MASK);
        LocaleSeparator = sep.empty() ? std::string(",") : sep;
    }
    return *LocaleSeparator;
}

void SetThousandsSeparator(const std::string& separator) {
    std::lock_guard<std::mutex> lock(LocaleMutex);
    SeparatorOverride = separator;
}

std::string FormatThousands(std::int64_t value) {
    std::string sep = ThousandsSeparator();
    bool negative = value < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += sep;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string UserLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "C";
}

std::string FormatIsoDate(const TDate& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
    return text;
}
