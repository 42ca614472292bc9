// The stored subscription list: its exact bytes (the share helper and older builds read the
// same entry), the reading rules, title order, the backup that keeps an unreadable list from
// being destroyed by the next write, and appends from two processes that must both land.

#include "subscriptions/StoredWebs.h"

#include "support/Fixtures.h"
#include "support/TwoProcesses.h"

#include <gtest/gtest.h>

#include <set>

namespace pressling {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr char kExample[] = R"([{"title":"A","url":"https:\/\/a.example\/feed"},)"
                            R"({"title":"B","url":"http:\/\/b\/","error":true}])";

std::vector<std::string> titles(const std::vector<Web>& webs) {
    std::vector<std::string> result;
    for (const Web& web : webs) result.push_back(web.title);
    return result;
}

std::vector<std::string> urls(const std::vector<Web>& webs) {
    std::vector<std::string> result;
    for (const Web& web : webs) result.push_back(web.url);
    return result;
}

WebsChange append(Web web) {
    return [web](const std::vector<Web>& stored) {
        std::vector<Web> next = stored;
        next.push_back(web);
        return std::optional(next);
    };
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

// --- the stored form ---

TEST_F(StoredWebsTest, shouldReadAndWriteTheStoredFormByteForByte) {
    store(kExample);
    const std::vector<Web> read = loadStoredWebs(kv);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0], (Web{"A", "https://a.example/feed", std::nullopt}));
    EXPECT_EQ(read[1], (Web{"B", "http://b/", true}));

    ASSERT_TRUE(kv.setData("[]", kStoredWebsKey));
    saveWebs(read, kv);
    EXPECT_EQ(stored(), kExample);
}

TEST_F(StoredWebsTest, shouldWriteTextAsUtf8AndEveryErrorStateExactly) {
    saveWebs({{"Caf\xC3\xA9 / \"News\"", "https://x/?a=1&b=2", false},
              {"\xE6\x97\xA5\xE6\x9C\xAC", "u", true},
              {"", "", std::nullopt}},
             kv);
    EXPECT_EQ(stored(), R"([{"title":"Caf)"
                        "\xC3\xA9"
                        R"( \/ \"News\"","url":"https:\/\/x\/?a=1&b=2","error":false},)"
                        R"({"title":")"
                        "\xE6\x97\xA5\xE6\x9C\xAC"
                        R"(","url":"u","error":true},{"title":"","url":""}])");
}

TEST_F(StoredWebsTest, shouldStoreAOneElementArrayOnTheFirstAppendToAnEmptyStore) {
    EXPECT_TRUE(loadWebs(kv).empty());
    auto written = updateStoredWebs(append({"A", "https://a/", std::nullopt}), kv);
    ASSERT_TRUE(written.has_value()) << written.error().message;
    EXPECT_TRUE(*written);
    EXPECT_EQ(stored(), R"([{"title":"A","url":"https:\/\/a\/"}])");
}

TEST_F(StoredWebsTest, shouldWriteNothingWhenAStringIsNotUtf8) {
    store(kExample);
    CaptureStderr();
    saveWebs({{"bad \xFF title", "https://a/", std::nullopt}}, kv);
    EXPECT_NE(GetCapturedStderr().find("not saved"), std::string::npos);
    EXPECT_EQ(stored(), kExample);

    auto update = updateStoredWebs(append({"ok", "bad \xC3", std::nullopt}), kv);
    ASSERT_FALSE(update.has_value());
    EXPECT_EQ(update.error().kind, KeyValueStoreError::Kind::aborted);
    EXPECT_EQ(stored(), kExample);
}

// --- reading rules ---

TEST_F(StoredWebsTest, shouldAcceptPlainSlashesAndIgnoreUnknownKeysUntilTheNextWrite) {
    store(R"([{"url":"https://a/x","extra":{"n":[1,2]},"title":"A","error":null}])");
    const std::vector<Web> read = loadStoredWebs(kv);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].url, "https://a/x");
    EXPECT_EQ(read[0].error, std::nullopt);

    saveWebs(read, kv);
    EXPECT_EQ(stored(), R"([{"title":"A","url":"https:\/\/a\/x"}])");
}

TEST_F(StoredWebsTest, shouldReadTheWholeValueAsEmptyWhenAnyPartIsUndecodable) {
    const char* undecodable[] = {
        R"([{"title":"A","url":"https://a/"},{"title":"B"}])",  // one element lacks "url"
        R"([{"url":"https://a/"}])",                            // lacks "title"
        R"([{"title":1,"url":"https://a/"}])",
        R"([{"title":"A","url":null}])",
        R"([{"title":"A","url":"u","error":"true"}])",
        R"([{"title":"A","url":"u","error":1}])",
        R"([{"title":"A","url":"u"},["B","v"]])",
        R"({"title":"A","url":"u"})",
        R"([{"title":"A","url":"u"})",
        "",
        "null",
    };
    for (const char* bytes : undecodable) {
        SCOPED_TRACE(bytes);
        EXPECT_EQ(decodeWebs(bytes), std::nullopt);
        store(bytes);
        CaptureStderr();
        EXPECT_TRUE(loadWebs(kv).empty());
        EXPECT_TRUE(loadStoredWebs(kv).empty());
        EXPECT_NE(GetCapturedStderr().find("cannot be read"), std::string::npos);
    }
    EXPECT_EQ(decodeWebs("[]"), std::vector<Web>{});
}

// --- order and equality ---

TEST_F(StoredWebsTest, shouldSortByCodePointsCaseSensitivelyKeepingStoredOrderForEqualTitles) {
    store(R"([{"title":"beta","url":"1"},{"title":"Alpha","url":"2"},{"title":"alpha","url":"3"},)"
          R"({"title":"Zeta","url":"4"},{"title":"beta","url":"5"},{"title":"Alpha","url":"6"}])");
    const std::vector<Web> sorted = loadWebs(kv);
    EXPECT_EQ(titles(sorted),
              (std::vector<std::string>{"Alpha", "Alpha", "Zeta", "alpha", "beta", "beta"}));
    EXPECT_EQ(urls(sorted), (std::vector<std::string>{"2", "6", "4", "3", "1", "5"}));
    // The unsorted read keeps the stored order.
    EXPECT_EQ(urls(loadStoredWebs(kv)), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
}

TEST(WebTitleOrder, shouldCompareTitlesInTheirComposedForm) {
    const Web decomposed{"Cafe\xCC\x81", "1", std::nullopt};  // "e" + U+0301
    const Web composed{"Caf\xC3\xA9", "2", std::nullopt};     // U+00E9
    const Web plain{"Cafe", "3", std::nullopt};
    const Web later{"Cafz", "4", std::nullopt};

    // Composed, "é" (U+00E9) sorts after "z"; decomposed it would sit between "e" and "z".
    EXPECT_TRUE(titleLess(plain, later));
    EXPECT_TRUE(titleLess(later, decomposed));
    EXPECT_FALSE(titleLess(decomposed, later));
    EXPECT_FALSE(titleLess(decomposed, composed));
    EXPECT_FALSE(titleLess(composed, decomposed));

    std::vector<Web> webs{decomposed, later, plain, composed};
    sortByTitle(webs);
    EXPECT_EQ(urls(webs), (std::vector<std::string>{"3", "4", "1", "2"}));
}

TEST(WebEquality, shouldCompareAllFieldsWithTextByCanonicalEquivalence) {
    const Web web{"Caf\xC3\xA9", "https://a/", std::nullopt};
    EXPECT_EQ(web, (Web{"Cafe\xCC\x81", "https://a/", std::nullopt}));
    EXPECT_NE(web, (Web{"Cafe", "https://a/", std::nullopt}));
    EXPECT_NE(web, (Web{"Caf\xC3\xA9", "https://b/", std::nullopt}));
    // An absent error is neither true nor false.
    EXPECT_NE(web, (Web{"Caf\xC3\xA9", "https://a/", false}));
    EXPECT_NE((Web{"t", "u", true}), (Web{"t", "u", false}));
}

// --- the unreadable list is kept before it is replaced ---

TEST_F(StoredWebsTest, shouldKeepAnUnreadableListBeforeSaveReplacesIt) {
    const std::string unreadable = R"([{"title":"A","url":"https://a/"},{"title":"B")";
    store(unreadable);
    CaptureStderr();
    saveWebs({{"C", "https://c/", std::nullopt}}, kv);
    const std::string console = GetCapturedStderr();
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), unreadable);
    EXPECT_EQ(stored(), R"([{"title":"C","url":"https:\/\/c\/"}])");
    EXPECT_NE(console.find("warning"), std::string::npos) << console;
    EXPECT_NE(console.find(std::string(kUnreadableStoredWebsKey)), std::string::npos) << console;
}

TEST_F(StoredWebsTest, shouldKeepAnUnreadableListBeforeAnUpdateReplacesIt) {
    store("garbage");
    std::optional<std::vector<Web>> seen;
    CaptureStderr();
    auto written = updateStoredWebs(
        [&](const std::vector<Web>& current) {
            seen = current;
            return std::optional(std::vector<Web>{{"N", "n", std::nullopt}});
        },
        kv);
    const std::string console = GetCapturedStderr();
    ASSERT_TRUE(written.has_value()) << written.error().message;
    EXPECT_EQ(seen, std::vector<Web>{});
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), "garbage");
    EXPECT_EQ(stored(), R"([{"title":"N","url":"n"}])");
    EXPECT_NE(console.find(std::string(kUnreadableStoredWebsKey)), std::string::npos) << console;
}

TEST_F(StoredWebsTest, shouldNeverOverwriteAnEarlierBackupWithOtherBytes) {
    ASSERT_TRUE(kv.setData("first garbage", kUnreadableStoredWebsKey));
    store("second garbage");
    CaptureStderr();
    saveWebs({}, kv);
    store("first garbage");  // the same bytes as the first backup: no further copy
    saveWebs({}, kv);
    GetCapturedStderr();

    const std::string second = std::string(kUnreadableStoredWebsKey) + ".2";
    const std::string third = std::string(kUnreadableStoredWebsKey) + ".3";
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), "first garbage");
    EXPECT_EQ(stored(second), "second garbage");
    EXPECT_EQ(stored(third), std::nullopt);
    EXPECT_EQ(stored(), "[]");
}

TEST_F(StoredWebsTest, shouldLeaveAnUnreadableListAloneWhenTheUpdateChangesNothing) {
    store("garbage");
    auto written = updateStoredWebs(
        [](const std::vector<Web>&) { return std::optional<std::vector<Web>>(); }, kv);
    ASSERT_TRUE(written.has_value());
    EXPECT_FALSE(*written);
    EXPECT_EQ(stored(), "garbage");
    EXPECT_EQ(stored(kUnreadableStoredWebsKey), std::nullopt);
}

// --- two processes ---

// Appends titles "<tag><i>" one update at a time through a store of its own.
bool appendWebs(const std::filesystem::path& file, char tag, int count) {
    KeyValueStore store(file);
    for (int i = 0; i < count; ++i) {
        const std::string title = tag + std::to_string(i);
        auto written = updateStoredWebs(append({title, "https://x/" + title, std::nullopt}), store);
        if (!written || !*written) return false;
    }
    return true;
}

TEST_F(StoredWebsTest, shouldLoseNoAppendFromTwoProcesses) {
    const auto file = folder.path() / "shared.sqlite";
    {
        KeyValueStore setup(file);  // closed again before the fork
        ASSERT_TRUE(setup.synchronize());
    }
    const auto outcome = test::runInTwoProcesses([&] { return appendWebs(file, 'C', 200); },
                                                 [&] { return appendWebs(file, 'P', 200); });
    ASSERT_EQ(outcome.problem, "");
    EXPECT_TRUE(outcome.parentSucceeded);
    EXPECT_TRUE(outcome.childSucceeded) << "the child's appends failed";

    KeyValueStore reader(file);
    const std::vector<Web> webs = loadStoredWebs(reader);
    std::set<std::string> distinct;
    for (const Web& web : webs) distinct.insert(web.title);
    EXPECT_EQ(webs.size(), 400u);
    EXPECT_EQ(distinct.size(), 400u);
    EXPECT_TRUE(distinct.contains("C0") && distinct.contains("C199"));
    EXPECT_TRUE(distinct.contains("P0") && distinct.contains("P199"));
}

}  // namespace
}  // namespace pressling
