#include "feedparse/FeedDate.h"

#include "platform/DatePatternParser.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <memory>
#include <string>

namespace pressling {
namespace {

constexpr std::array<std::string_view, 5> kPatterns{
    "EEE, dd MMM yyyy HH:mm:ss ZZ", "EEE, dd MMM yyyy HH:mm:ss z",
    "yyyy-MM-dd'T'HH:mm:ss.SSSZ",   "yyyy/MM/dd",
    "yyyy-MM-dd'T'HH:mm:ssZZZZZ",
};

// ICU formatters are costly to build and cheap to use, and not safe to share between threads:
// each thread builds its own, once, on first use.
DatePatternParser& formatter(std::size_t index) {
    thread_local std::array<std::unique_ptr<DatePatternParser>, kPatterns.size()> formatters;
    auto& slot = formatters[index];
    if (!slot) slot = std::make_unique<DatePatternParser>(kPatterns[index]);
    return *slot;
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

std::size_t digitRun(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && isDigit(text[end])) ++end;
    return end - from;
}

// Prepares a date text for the formatters, or gives none when no form can match. ICU reads a
// year of any length ("03" as the year 3), so the year's four digits are checked here; and a
// strict ICU "dd" refuses the single-digit days that real feeds write ("Sun, 1 Jun 2003"), so
// such a day gets its leading zero.
std::optional<std::string> prepared(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::string result(text);

    if (isLetter(text.front())) {  // "EEE, dd MMM yyyy ..."
        const auto comma = text.find(',');
        if (comma == std::string_view::npos) return result;
        std::size_t day = comma + 1;
        while (day < text.size() && text[day] == ' ') ++day;
        const std::size_t dayDigits = digitRun(text, day);
        std::size_t month = day + dayDigits;
        if (month >= text.size() || text[month] != ' ') return result;
        ++month;
        std::size_t year = month;
        while (year < text.size() && isLetter(text[year])) ++year;
        if (year == month || year >= text.size() || text[year] != ' ') return result;
        ++year;
        if (digitRun(text, year) != 4) return std::nullopt;
        if (dayDigits == 1) result.insert(day, 1, '0');
        return result;
    }

    if (isDigit(text.front())) {  // "yyyy-MM-dd'T'..." or "yyyy/MM/dd"
        if (digitRun(text, 0) != 4) return std::nullopt;
        const auto lastSlash = text.rfind('/');
        if (lastSlash != std::string_view::npos && lastSlash + 2 == text.size() &&
            isDigit(text.back())) {
            result.insert(lastSlash + 1, 1, '0');
        }
        // ICU keeps milliseconds only, truncated: the digits after the third go (see
        // fitsIcusArithmetic for what the rest would do).
        if (const auto dot = result.find('.'); dot != std::string::npos) {
            const std::size_t digits = digitRun(result, dot + 1);
            if (digits > 3) result.erase(dot + 4, digits - 3);
        }
        return result;
    }

    return std::nullopt;
}

// ICU reads a number field as far as it looks like a number, an exponent included ("222e22"),
// and a long or scaled one breaks its arithmetic: a wrong instant, or past about a hundred
// digits a division by zero that kills the process. No date it is given here has a number of
// more than four digits (the fraction of a second comes cut to three) nor an exponent.
bool fitsIcusArithmetic(std::string_view text) {
    const auto digitAt = [&](std::size_t at) { return at < text.size() && isDigit(text[at]); };
    for (std::size_t at = 0; at < text.size(); ++at) {
        const std::size_t digits = digitRun(text, at);
        if (digits > 4) return false;
        at += digits;
        if (digits == 0 || at >= text.size() || (text[at] != 'e' && text[at] != 'E')) continue;
        const bool signed_ = digitAt(at + 2) && (text[at + 1] == '+' || text[at + 1] == '-');
        if (digitAt(at + 1) || signed_) return false;
    }
    return true;
}

// Whether pattern i could read text at all, judged by the literals and names it requires. ICU
// takes several microseconds to find out that a pattern does not fit; skipping the patterns
// that cannot changes no answer and halves the cost of the commonest Atom dates.
bool mayFit(std::size_t pattern, std::string_view text) {
    const bool startsWithName = isLetter(text.front());
    switch (pattern) {
        case 0:
        case 1:
            return startsWithName;
        case 2:
            return !startsWithName && text.find('.') != std::string_view::npos;
        case 3:
            return !startsWithName && text.find('/') != std::string_view::npos;
        default:
            return !startsWithName && text.find_first_of("Tt") != std::string_view::npos;
    }
}

// The index of name among names, matched in any letter case, or -1.
template <std::size_t N>
int nameIndex(std::string_view name, const std::array<std::string_view, N>& names) {
    for (std::size_t i = 0; i < N; ++i) {
        if (name.size() == names[i].size() &&
            std::equal(name.begin(), name.end(), names[i].begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) == b;
            })) {
            return int(i);
        }
    }
    return -1;
}

// The two-digit number at text[at], or -1.
int twoDigits(std::string_view text, std::size_t at) {
    if (!isDigit(text[at]) || !isDigit(text[at + 1])) return -1;
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// Most feeds write exactly "Tue, 10 Jun 2003 04:00:00 +0000", and ICU takes about 10 us to read
// it, a tenth of a refresh's parsing. This reads that one shape by hand, with ICU's answer:
// every field within its range (the weekday, as ICU does, not checked against the date), the
// year from 1600 on (the Gregorian calendar throughout; ICU's switches to the Julian one in
// 1582), a numeric zone up to 14 hours. Anything else, none: ICU decides.
std::optional<Date> readCommonRfc822(std::string_view text) {
    static constexpr std::array<std::string_view, 7> kWeekdays{"sun", "mon", "tue", "wed",
                                                               "thu", "fri", "sat"};
    static constexpr std::array<std::string_view, 12> kMonths{
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    // "Tue, 10 Jun 2003 04:00:00 +0000"
    //  0    5  8   12   17 20 23 26
    if (text.size() != 31 || text.substr(3, 2) != ", " || text[7] != ' ' || text[11] != ' ' ||
        text[16] != ' ' || text[19] != ':' || text[22] != ':' || text[25] != ' ' ||
        (text[26] != '+' && text[26] != '-')) {
        return std::nullopt;
    }
    if (nameIndex(text.substr(0, 3), kWeekdays) < 0) return std::nullopt;
    const int month = nameIndex(text.substr(8, 3), kMonths) + 1;
    const int day = twoDigits(text, 5);
    const int century = twoDigits(text, 12);
    const int yearInCentury = twoDigits(text, 14);
    const int hour = twoDigits(text, 17);
    const int minute = twoDigits(text, 20);
    const int second = twoDigits(text, 23);
    const int zoneHours = twoDigits(text, 27);
    const int zoneMinutes = twoDigits(text, 29);
    if (month == 0 || century < 16 || yearInCentury < 0 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59 || zoneHours < 0 || zoneMinutes < 0 ||
        zoneMinutes > 59 || zoneHours * 60 + zoneMinutes > 14 * 60) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day date{year(century * 100 + yearInCentury),
                              std::chrono::month(unsigned(month)),
                              std::chrono::day(unsigned(std::max(day, 0)))};
    if (day < 1 || !date.ok()) return std::nullopt;
    const minutes offset((text[26] == '-' ? -1 : 1) * (zoneHours * 60 + zoneMinutes));
    return time_point_cast<milliseconds>(sys_days(date) + hours(hour) + minutes(minute) +
                                         seconds(second) - offset);
}

}  // namespace

std::optional<Date> parseFeedDate(std::string_view text) {
    const auto candidate = prepared(text);
    if (!candidate || !fitsIcusArithmetic(*candidate)) return std::nullopt;
    if (auto date = readCommonRfc822(*candidate)) return date;
    for (std::size_t i = 0; i < kPatterns.size(); ++i) {
        if (!mayFit(i, *candidate)) continue;
        if (auto date = formatter(i).parse(*candidate)) return date;
    }
    return std::nullopt;
}

}  // namespace pressling
