// A pattern without a zone reads in the device's zone, from every thread, following TZ changes.

#include "platform/DatePatternParser.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace pressling {
namespace {

using std::chrono::hours;
using Zone = std::optional<std::string>;  // unset: TZ unset

// 2003-06-10 00:00 UTC, and the text that means midnight that day on the device.
constexpr Date kMidnightUtc{std::chrono::sys_days{std::chrono::year{2003} / 6 / 10}};
constexpr char kMidnight[] = "2003-06-10 00:00";

// Without TZ the zone comes from /etc/localtime, the path where detection is slow and shared.
TEST(DatePatternParserZone, EveryThreadReadsAsTheMainThreadDoes) {
    test::ScopedEnvironment environment;
    for (const Zone& zone : {Zone(), Zone("Asia/Tokyo")}) {
        environment.set("TZ", zone);
        const auto expected = DatePatternParser("yyyy-MM-dd HH:mm").parse(kMidnight);
        std::atomic<int> wrong = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&] {
                DatePatternParser parser("yyyy-MM-dd HH:mm");
                for (int i = 0; i < 50; ++i) wrong += parser.parse(kMidnight) != expected;
            });
        }
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(wrong, 0) << zone.value_or("the device's zone");
    }
}

TEST(DatePatternParserZone, FollowsAChangeOfTz) {
    test::ScopedEnvironment environment;
    DatePatternParser parser("yyyy-MM-dd HH:mm");
    DatePatternParser zoned("yyyy-MM-dd HH:mm ZZ");
    for (auto [zone, offset] : {std::pair{"Asia/Tokyo", -9}, {"America/New_York", 4}, {"UTC", 0}}) {
        environment.set("TZ", zone);
        EXPECT_EQ(parser.parse(kMidnight), kMidnightUtc + hours(offset)) << zone;
    }
    // A text that names its offset does not move with the device.
    EXPECT_EQ(zoned.parse("2003-06-10 00:00 +0200"), kMidnightUtc - hours(2));
}

}  // namespace
}  // namespace pressling
