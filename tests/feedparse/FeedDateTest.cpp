// Reading feed dates; run in Madrid and in Tokyo (CMakeLists.txt): no answer is zone-bound.

#include "feedparse/FeedDate.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <thread>

namespace pressling {
namespace {

// What each text of data/dates.txt reads as: the instant in UTC, or "refused".
std::string reading(const std::string& text) {
    const auto date = parseFeedDate(text);
    return date ? toIso8601Utc(*date) : "refused";
}

TEST(FeedDate, ReadsTheInstantWritten) {
    const auto rows = test::readTable("feedparse", "dates.txt");
    EXPECT_EQ(rows.size(), 35u);
    for (const auto& [expected, text] : rows) EXPECT_EQ(reading(text), expected) << text;
}

// Each thread keeps its own formatters: threads reading at once all get the right answers.
TEST(FeedDate, ThreadsReadingAtOnceAllGetTheRightAnswers) {
    const auto rows = test::readTable("feedparse", "dates.txt");
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

// A bare day is midnight in the device's zone as it is at the time of the call.
TEST(FeedDate, ReadsABareDayInTheDevicesZoneAsItIsNow) {
    {
        test::ScopedEnvironment environment;
        const auto inZone = [&](const char* zone, const char* text) {
            environment.set("TZ", zone), tzset();
            return reading(text);
        };
        EXPECT_EQ(inZone("Asia/Tokyo", "2003/06/10"), "2003-06-09T15:00:00.000Z");
        EXPECT_EQ(inZone("Asia/Tokyo", "2003/6/1"), "2003-05-31T15:00:00.000Z");
        EXPECT_EQ(inZone("America/New_York", "2003/06/10"), "2003-06-10T04:00:00.000Z");
    }
    tzset();
}

}  // namespace
}  // namespace pressling
