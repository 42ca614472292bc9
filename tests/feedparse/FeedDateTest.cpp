// Reading the dates feeds write. These tests run twice, in Madrid and in Tokyo (see
// CMakeLists.txt), because a bare day means midnight wherever the device is.

#include "feedparse/FeedDate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace pressling {
namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0, int ms = 0) {
    return Date(sys_days(year(y) / month(m) / day(d)).time_since_epoch() + hours(hh) + minutes(mm) +
                seconds(ss) + milliseconds(ms));
}

// Midnight of a day in the process's current zone, as the C library sees it.
Date localMidnight(int y, int m, int d) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_isdst = -1;
    return Date(seconds(std::mktime(&tm)));
}

struct Readable {
    const char* text;
    Date expected;
};

void PrintTo(const Readable& c, std::ostream* os) { *os << '"' << c.text << '"'; }

const Date kJune10 = utc(2003, 6, 10, 4);

const Readable kReadable[] = {
    // The five forms.
    {"Tue, 10 Jun 2003 04:00:00 +0000", kJune10},
    {"Tue, 10 Jun 2003 06:00:00 +0200", kJune10},
    {"Mon, 09 Jun 2003 20:00:00 -0800", kJune10},
    {"Tue, 10 Jun 2003 04:00:00 GMT", kJune10},
    {"Tue, 10 Jun 2003 04:00:00 UTC", kJune10},
    {"Tue, 10 Jun 2003 00:00:00 EDT", kJune10},
    {"2003-06-10T04:00:00.000+0000", kJune10},
    {"2003-06-10T04:00:00.250+0000", utc(2003, 6, 10, 4, 0, 0, 250)},
    {"2003-06-10T04:00:00Z", kJune10},
    {"2003-06-10T06:00:00+02:00", kJune10},
    {"2003-06-09T23:30:00-04:30", kJune10},
    // What real feeds write.
    {"Sun, 1 Jun 2003 04:00:00 GMT", utc(2003, 6, 1, 4)},
    {"Sun, 1 Jun 2003 04:00:00 +0000", utc(2003, 6, 1, 4)},
    {"tue, 10 JUN 2003 04:00:00 gmt", kJune10},
    {"Tue, 10 Jun 2003 04:00:00 UT", kJune10},
    {"Tue, 10 Jun 2003 04:00:00 Z", kJune10},
    {"2003-06-10T06:00:00.000+02:00", kJune10},
    {"2003-06-10T04:00:00.000Z", kJune10},
    {"Fri, 10 Jun 2003 04:00:00 +0000", kJune10},  // the weekday is not checked
};

class FeedDateReads : public testing::TestWithParam<Readable> {};

TEST_P(FeedDateReads, TheInstantWritten) {
    EXPECT_EQ(parseFeedDate(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Forms, FeedDateReads, testing::ValuesIn(kReadable));

// Every thread keeps its own formatters: threads reading at once all get the right answers.
TEST(FeedDateThreads, ReadTheSameAnswersAtOnce) {
    const Date bareDay = localMidnight(2003, 6, 10);
    std::atomic<int> wrong = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 50; ++round) {
                for (const auto& row : kReadable) wrong += parseFeedDate(row.text) != row.expected;
                wrong += parseFeedDate("2003/06/10") != bareDay;
                wrong += parseFeedDate("2003-06-10 04:00") != std::nullopt;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

class FeedDateRefuses : public testing::TestWithParam<const char*> {};

TEST_P(FeedDateRefuses, TextNoFormReads) { EXPECT_EQ(parseFeedDate(GetParam()), std::nullopt); }

INSTANTIATE_TEST_SUITE_P(
    Texts, FeedDateRefuses,
    testing::Values("", "yesterday", "Di, 10 Jun 2003 04:00:00 +0000",
                    "Tue, 10 Juni 2003 04:00:00 +0000", "10 Juni 2003",
                    "Tue, 10 Jun 03 04:00:00 GMT", "03-06-10T04:00:00Z", "12003-06-10T04:00:00Z",
                    "Tue, 10 Jun 2003 04:00:00 +0000 extra", "2003-06-10T04:00:00Z trailing",
                    "Tue, 31 Jun 2003 04:00:00 GMT", "Tue, 10 Jun 2003 24:00:00 GMT",
                    "2003-02-30T04:00:00Z", "2003-06-10 04:00:00", "2003-06-10", "Tue, 10 Jun 2003",
                    "2003/06/10 04:00"));

TEST(FeedDateBareDay, IsMidnightInTheDevicesZoneAsItIsNow) {
    const char* previous = std::getenv("TZ");
    const std::string restore = previous ? previous : "";

    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    const auto inTokyo = parseFeedDate("2003/06/10");
    setenv("TZ", "America/New_York", 1);
    tzset();
    const auto inNewYork = parseFeedDate("2003/06/10");

    if (previous)
        setenv("TZ", restore.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();

    EXPECT_EQ(parseFeedDate("2003/06/10"), localMidnight(2003, 6, 10));
    EXPECT_EQ(parseFeedDate("2003/6/1"), localMidnight(2003, 6, 1));
    ASSERT_TRUE(inTokyo && inNewYork);
    EXPECT_EQ(*inTokyo, utc(2003, 6, 9, 15));
    EXPECT_EQ(*inNewYork, utc(2003, 6, 10, 4));
}

}  // namespace
}  // namespace pressling
