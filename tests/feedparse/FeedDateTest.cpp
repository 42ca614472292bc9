// Reading feed dates; run in Madrid and in Tokyo (CMakeLists.txt): no answer is zone-bound.

#include "feedparse/FeedDate.h"
#include "platform/DatePatternParser.h"

#include "support/Fixtures.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <thread>

namespace pressling {
namespace {

// What each text of data/dates.txt reads as: the instant in UTC, or "refused".
std::string reading(const std::string& text) {
    const auto date = parseFeedDate(text);
    return date ? toIso8601Utc(*date) : "refused";
}

// Each thread keeps its own formatters: threads reading at once all get the right answers.
TEST(FeedDate, ReadsTheInstantWrittenAlsoOnThreadsReadingAtOnce) {
    const auto rows = test::readTable("feedparse", "dates.txt");
    EXPECT_EQ(rows.size(), 45u);
    for (const auto& [expected, text] : rows) EXPECT_EQ(reading(text), expected) << text;
    const auto bareDay = parseFeedDate("2003/06/10");
    std::atomic<int> wrong = 0;
    const auto readAll = [&] {
        for (int round = 0; round < 50; ++round) {
            wrong += parseFeedDate("2003/06/10") != bareDay;
            for (const auto& [expected, text] : rows) wrong += reading(text) != expected;
        }
    };
    { std::jthread a(readAll), b(readAll), c(readAll), d(readAll); }
    EXPECT_EQ(wrong, 0);
}

// The commonest shape is read without ICU; on every text of that shape, in range or not, the
// answer must be the one ICU's two patterns for it give.
TEST(FeedDate, TheCommonShapeReadsAsIcuReadsIt) {
    DatePatternParser numericZone("EEE, dd MMM yyyy HH:mm:ss ZZ");
    DatePatternParser namedZone("EEE, dd MMM yyyy HH:mm:ss z");
    const char* const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Tux"};
    const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul",
                                  "Aug", "Sep", "Oct", "Nov", "Dec", "Jum"};
    std::mt19937 random(20031010);
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const auto anyCase = [&](std::string name) {
        for (char& c : name) c = pick(0, 3) == 0 ? char(std::toupper(c)) : c;
        return name;
    };
    int read = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = fmt::format(
            "{}, {:02} {} {:04} {:02}:{:02}:{:02} {}{:02}{:02}", anyCase(weekdays[pick(0, 7)]),
            pick(0, 32), anyCase(months[pick(0, 12)]), pick(1500, 2100), pick(0, 24), pick(0, 60),
            pick(0, 60), pick(0, 1) ? '+' : '-', pick(0, 15), pick(0, 60));
        auto expected = numericZone.parse(text);
        if (!expected) expected = namedZone.parse(text);
        EXPECT_EQ(parseFeedDate(text), expected) << text;
        read += expected.has_value();
    }
    EXPECT_GT(read, 1000);  // most texts are dates, so both ways of reading were exercised
}

// A bare day is midnight in the device's zone as it is at the time of the call.
TEST(FeedDate, ReadsABareDayInTheDevicesZoneAsItIsNow) {
    test::ScopedEnvironment environment;
    const auto inZone = [&](const char* zone, const char* text) {
        environment.set("TZ", zone);
        return reading(text);
    };
    EXPECT_EQ(inZone("Asia/Tokyo", "2003/06/10"), "2003-06-09T15:00:00.000Z");
    EXPECT_EQ(inZone("Asia/Tokyo", "2003/6/1"), "2003-05-31T15:00:00.000Z");
    EXPECT_EQ(inZone("America/New_York", "2003/06/10"), "2003-06-10T04:00:00.000Z");
}

}  // namespace
}  // namespace pressling
