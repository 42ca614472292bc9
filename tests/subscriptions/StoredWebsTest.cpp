// The stored subscription list: exact bytes, reading rules, order, backups, concurrent appends.

#include "subscriptions/StoredWebs.h"

#include "support/Fixtures.h"
#include "support/TwoProcesses.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ranges>
#include <set>

namespace pressling {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using Webs = std::vector<Web>;

WebsChange append(Web web) {
    return [web](Webs stored) { return stored.push_back(web), std::optional(stored); };
}

std::string urls(const Webs& webs) {
    std::string result;
    for (const Web& web : webs) result += web.url;
    return result;
}

class StoredWebsTest : public ::testing::Test {
protected:
    void store(std::string_view bytes) { ASSERT_TRUE(kv.setData(bytes, kStoredWebsKey)); }
    std::optional<std::string> stored(std::string_view key = kStoredWebsKey) {
        return kv.dataForKey(key).value();
    }
    test::TemporaryDirectory folder;
    KeyValueStore kv{folder.path() / "kvstore.sqlite"};
};

TEST_F(StoredWebsTest, writesAndReadsTheStoredFormByteForByte) {
    const std::pair<Webs, std::string> rows[] = {
        {{{"A", "https://a.example/feed", std::nullopt}, {"B", "http://b/", true}},
         R"([{"title":"A","url":"https:\/\/a.example\/feed"},{"title":"B","url":"http:\/\/b\/","error":true}])"},
        {{{"Café / \"N\"", "https://x/?a=1&b=2", false}, {"", "", std::nullopt}},
         R"([{"title":"Café \/ \"N\"","url":"https:\/\/x\/?a=1&b=2","error":false},{"title":"","url":""}])"},
    };
    for (const auto& [webs, bytes] : rows) {
        saveWebs(webs, kv);
        EXPECT_EQ(stored(), bytes);
        EXPECT_EQ(loadStoredWebs(kv), webs) << bytes;
    }
}

TEST_F(StoredWebsTest, readsPlainSlashesAndUnknownKeysButNoOtherTypes) {
    EXPECT_EQ(decodeWebs(R"([{"url":"https://a/x","extra":{"n":[1]},"title":"A","error":null}])"),
              (Webs{{"A", "https://a/x", std::nullopt}}));
    const auto rows = test::readTable("subscriptions", "undecodable-lists.txt");
    EXPECT_EQ(rows.size(), 12u);
    for (const auto& [why, bytes] : rows) {
        store(bytes);
        CaptureStderr();
        EXPECT_EQ(loadWebs(kv), Webs{}) << why;
        EXPECT_NE(GetCapturedStderr().find("cannot be read"), std::string::npos);
        EXPECT_NE(readWebs(kv).error().find("cannot be read"), std::string::npos);
    }
}

TEST_F(StoredWebsTest, sortsByComposedCodePointsKeepingStoredOrderForEqualTitles) {
    // Stored as 1 to 8: beta, Alpha, alpha, Zeta, "Cafe" + U+0301, Alpha, "Caf" + U+00E9, Cafz.
    store(test::readFixture("subscriptions", "out-of-order-list.json"));
    // Composed, "é" (U+00E9) sorts after "z"; decomposed it would sit between "e" and "z".
    EXPECT_EQ(urls(loadWebs(kv)), "26857431");
    EXPECT_EQ(urls(readWebs(kv).value()), urls(loadWebs(kv)));
    EXPECT_EQ(urls(loadStoredWebs(kv)), "12345678");
    // Equal: every field, text by canonical equivalence; an absent error is neither value.
    EXPECT_EQ((Web{"Caf\xC3\xA9", "u", true}), (Web{"Cafe\xCC\x81", "u", true}));
    EXPECT_NE((Web{"t", "u", std::nullopt}), (Web{"t", "u", false}));
    EXPECT_NE((Web{"t", "u", true}), (Web{"t", "v", true}));
}

TEST_F(StoredWebsTest, updatesAppendAndWriteNothingThatIsNotUtf8) {
    EXPECT_TRUE(updateStoredWebs(append({"A", "https://a/", std::nullopt}), kv).value());
    EXPECT_EQ(updateStoredWebs(append({"ok", "bad \xC3", std::nullopt}), kv).error().kind,
              KeyValueStoreError::Kind::aborted);
    CaptureStderr();
    saveWebs({{"bad \xFF title", "https://a/", std::nullopt}}, kv);
    EXPECT_NE(GetCapturedStderr().find("not saved"), std::string::npos);
    EXPECT_EQ(stored(), R"([{"title":"A","url":"https:\/\/a\/"}])");
}

TEST_F(StoredWebsTest, keepsAnUnreadableListBeforeAnyWriteReplacesIt) {
    store("garbage");
    EXPECT_FALSE(updateStoredWebs([](const Webs&) { return std::optional<Webs>(); }, kv).value());
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), std::nullopt);  // no write, no backup

    CaptureStderr();  // the change is handed an empty list: N alone is written
    ASSERT_TRUE(updateStoredWebs(append({"N", "n", std::nullopt}), kv));
    EXPECT_NE(GetCapturedStderr().find(kUnreadableStoredWebsKey), std::string::npos);
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), "garbage");
    EXPECT_EQ(stored(), R"([{"title":"N","url":"n"}])");

    // Never over an earlier backup: other bytes take the first free number, the same none.
    CaptureStderr();
    for (const char* bytes : {"second garbage", "garbage"}) store(bytes), saveWebs({}, kv);
    GetCapturedStderr();
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), "garbage");
    EXPECT_EQ(stored(std::string(kUnreadableStoredWebsKey) + ".2"), "second garbage");
    EXPECT_EQ(stored(std::string(kUnreadableStoredWebsKey) + ".3"), std::nullopt);
    EXPECT_EQ(stored(), "[]");
}

TEST_F(StoredWebsTest, losesNoAppendFromTwoProcesses) {
    const auto file = folder.path() / "shared.sqlite";
    ASSERT_TRUE(KeyValueStore(file).synchronize());  // closed again before the fork
    const auto appendAll = [&](char tag) {  // "<tag><i>", one update at a time, an own store
        KeyValueStore store(file);
        return std::ranges::all_of(std::views::iota(0, 200), [&](int i) {
            return updateStoredWebs(append({tag + std::to_string(i), "u", {}}), store)
                .value_or(false);
        });
    };
    const auto outcome =
        test::runInTwoProcesses([&] { return appendAll('C'); }, [&] { return appendAll('P'); });
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.parentSucceeded && outcome.childSucceeded);
    KeyValueStore reread(file);
    const auto titles = loadStoredWebs(reread) | std::views::transform(&Web::title);
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), 400u);
}

}  // namespace
}  // namespace pressling
