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

// One parser, made before TZ changes, follows each change; parsers on other threads read as it
// does. Without TZ the zone comes from /etc/localtime, the path where detection is slow and shared.
TEST(DatePatternParserZone, EveryThreadFollowsAChangeOfTz) {
    test::ScopedEnvironment environment;
    DatePatternParser parser("yyyy-MM-dd HH:mm");
    // Each zone, and the hours from midnight UTC to its midnight that day.
    const std::pair<Zone, std::optional<int>> rows[] = {
        {Zone(), std::nullopt}, {"Asia/Tokyo", -9}, {"America/New_York", 4}, {"UTC", 0}};
    for (const auto& [zone, offset] : rows) {
        SCOPED_TRACE(zone.value_or("the device's zone"));
        environment.set("TZ", zone);
        const auto expected = parser.parse(kMidnight);
        if (offset) {
            EXPECT_EQ(expected, kMidnightUtc + hours(*offset));
        }
        std::atomic<int> wrong = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t) {
            threads.emplace_back([&] {
                DatePatternParser own("yyyy-MM-dd HH:mm");
                for (int i = 0; i < 50; ++i) wrong += own.parse(kMidnight) != expected;
            });
        }
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(wrong, 0);
    }
    // A text that names its offset does not move with the device.
    EXPECT_EQ(DatePatternParser("yyyy-MM-dd HH:mm ZZ").parse("2003-06-10 00:00 +0200"),
              kMidnightUtc - hours(2));
}

}  // namespace
}  // namespace pressling
