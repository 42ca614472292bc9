// Reading feed dates; run in Madrid and in Tokyo (CMakeLists.txt): no answer is zone-bound.

#include "feedparse/FeedDate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

namespace pressling {
namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int hh, int mm = 0, int ss = 0, int ms = 0) {
    return Date(sys_days(year(y) / month(m) / day(d)).time_since_epoch() + hours(hh) + minutes(mm) +
                seconds(ss) + milliseconds(ms));
}

const Date kJune10 = utc(2003, 6, 10, 4);

// The five forms, then what real feeds write.
const struct {
    const char* text;
    Date expected;
} kReadable[] = {
    // clang-format off
    {"Tue, 10 Jun 2003 04:00:00 +0000", kJune10}, {"Tue, 10 Jun 2003 06:00:00 +0200", kJune10},
    {"Mon, 09 Jun 2003 20:00:00 -0800", kJune10}, {"Tue, 10 Jun 2003 04:00:00 GMT", kJune10},
    {"Tue, 10 Jun 2003 04:00:00 UTC", kJune10}, {"Tue, 10 Jun 2003 00:00:00 EDT", kJune10},
    {"2003-06-10T04:00:00.250+0000", utc(2003, 6, 10, 4, 0, 0, 250)},
    {"2003-06-10T04:00:00Z", kJune10}, {"2003-06-10T06:00:00+02:00", kJune10},
    {"2003-06-09T23:30:00-04:30", kJune10}, {"Sun, 1 Jun 2003 04:00:00 GMT", utc(2003, 6, 1, 4)},
    {"Sun, 1 Jun 2003 04:00:00 +0000", utc(2003, 6, 1, 4)},
    {"tue, 10 JUN 2003 04:00:00 gmt", kJune10}, {"Tue, 10 Jun 2003 04:00:00 UT", kJune10},
    {"Tue, 10 Jun 2003 04:00:00 Z", kJune10}, {"2003-06-10T06:00:00.000+02:00", kJune10},
    {"2003-06-10T04:00:00.000Z", kJune10},
    {"Fri, 10 Jun 2003 04:00:00 +0000", kJune10},  // the weekday is not checked
    // clang-format on
};

// clang-format off
const char* const kRefused[] = {
    "", "yesterday", "Di, 10 Jun 2003 04:00:00 +0000", "Tue, 10 Juni 2003 04:00:00 +0000",
    "10 Juni 2003", "Tue, 10 Jun 03 04:00:00 GMT", "03-06-10T04:00:00Z", "12003-06-10T04:00:00Z",
    "Tue, 10 Jun 2003 04:00:00 +0000 extra", "2003-06-10T04:00:00Z trailing",
    "Tue, 31 Jun 2003 04:00:00 GMT", "Tue, 10 Jun 2003 24:00:00 GMT", "2003-02-30T04:00:00Z",
    "2003-06-10 04:00:00", "2003-06-10", "Tue, 10 Jun 2003", "2003/06/10 04:00"};
// clang-format on

TEST(FeedDate, ReadsTheInstantWritten) {
    for (const auto& row : kReadable) EXPECT_EQ(parseFeedDate(row.text), row.expected) << row.text;
    for (const char* text : kRefused) EXPECT_EQ(parseFeedDate(text), std::nullopt) << text;
}

// Each thread keeps its own formatters: threads reading at once all get the right answers.
TEST(FeedDate, ThreadsReadingAtOnceAllGetTheRightAnswers) {
    std::atomic<int> wrong = 0;
    const auto bareDay = parseFeedDate("2003/06/10");
    const auto readAll = [&] {
        for (int round = 0; round < 50; ++round) {
            wrong += parseFeedDate("2003/06/10") != bareDay;
            for (const auto& row : kReadable) wrong += parseFeedDate(row.text) != row.expected;
            for (const char* text : kRefused) wrong += parseFeedDate(text).has_value();
        }
    };
    { std::jthread a(readAll), b(readAll), c(readAll), d(readAll); }
    EXPECT_EQ(wrong, 0);
}

// A bare day is midnight in the device's zone as it is at the time of the call.
TEST(FeedDate, ReadsABareDayInTheDevicesZoneAsItIsNow) {
    const char* previous = std::getenv("TZ");
    const std::string restore = previous ? previous : "";
    const auto inZone = [](const char* zone, const char* text) {
        setenv("TZ", zone, 1);
        tzset();
        return parseFeedDate(text);
    };
    EXPECT_EQ(inZone("Asia/Tokyo", "2003/06/10"), utc(2003, 6, 9, 15));
    EXPECT_EQ(inZone("Asia/Tokyo", "2003/6/1"), utc(2003, 5, 31, 15));
    EXPECT_EQ(inZone("America/New_York", "2003/06/10"), utc(2003, 6, 10, 4));
    previous ? setenv("TZ", restore.c_str(), 1) : unsetenv("TZ");
    tzset();
}

}  // namespace
}  // namespace pressling
