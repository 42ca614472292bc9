#include "feedparse/FeedDate.h"

#include "platform/DatePatternParser.h"

#include <array>
#include <cctype>
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
        return result;
    }

    return std::nullopt;
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

}  // namespace

std::optional<Date> parseFeedDate(std::string_view text) {
    const auto candidate = prepared(text);
    if (!candidate) return std::nullopt;
    for (std::size_t i = 0; i < kPatterns.size(); ++i) {
        if (!mayFit(i, *candidate)) continue;
        if (auto date = formatter(i).parse(*candidate)) return date;
    }
    return std::nullopt;
}

}  // namespace pressling
