// The clean-up keeps subscribed feeds' articles, drops others, and never trusts an unread list.

#include "flows/Cleanup.h"

#include "store/ArticleOperations.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <set>

namespace pressling {
namespace {

using namespace test;

class CleanUpArticles : public FlowTest {
protected:
    std::set<std::string> feedsLeft() {
        std::set<std::string> feeds;
        for (const auto& post : fetchAll(*store)) feeds.insert(post.blogLink.value_or("<none>"));
        return feeds;
    }
};

TEST_F(CleanUpArticles, keepsRetitledAndUntitledFeedsAndRemovesUnsubscribedOnesUnlessRefused) {
    ASSERT_TRUE(saveArticles(feedEntries(2, "R", kFeedA, "Renamed in the feed"), *store));
    ASSERT_TRUE(saveArticles(feedEntries(2, "W", kFeedB, "Web"), *store));
    ASSERT_TRUE(saveArticles(feedEntries(2, "G", "https://gone.example/feed", "Gone"), *store));
    const std::string composed = "https://n.example/caf\u00e9";  // listed decomposed below
    ASSERT_TRUE(saveArticles({article("N", "https://n.example/1", day(1), composed, "N")}, *store));
    BlogPost orphan;  // no blogLink: written by another program, in no feed
    orphan.title = "Orphan";
    store->insert(orphan);
    ASSERT_TRUE(store->save());
    storeList({{"A title in the list", kFeedA, std::nullopt},
               {"Untitled feed", kFeedB, false},
               {"Equivalent address", "https://n.example/cafe\u0301", std::nullopt}});

    for (int activation = 0; activation < 2; ++activation) {
        ASSERT_TRUE(cleanUpArticles(*store, kv));
        EXPECT_EQ(feedsLeft(), (std::set<std::string>{kFeedA, kFeedB, composed}));
        EXPECT_EQ(fetchAll(*store).size(), 5u);
    }
    storeList({});  // an emptied list is a list: every article goes, once the store lets it
    alterStoreFile(store.file(), kFailDeletes);
    auto failed = cleanUpArticles(*store, kv);
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().kind, StoreError::Kind::deleteFailed);
    alterStoreFile(store.file(), kHealFault);
    EXPECT_EQ(fetchAll(*store).size(), 5u);
    ASSERT_TRUE(cleanUpArticles(*store, kv));
    EXPECT_TRUE(fetchAll(*store).empty());
}

// Each row leaves a list store from which the subscriptions cannot be known.
TEST_F(CleanUpArticles, deletesNothingWhenTheSubscriptionsAreUnknown) {
    const std::pair<const char*, std::function<void(const std::filesystem::path&)>> rows[] = {
        {"undecodable",
         [](auto& file) { (void)KeyValueStore(file).setData("{not a list", kStoredWebsKey); }},
        {"noKeyInAFileCutToZeroBytes", [](auto& file) { std::ofstream{file}; }},
        {"sqlNull",
         [](auto& file) {
             alterStoreFile(file,
                            "CREATE TABLE kv (key TEXT PRIMARY KEY, value BLOB);"
                            "INSERT INTO kv VALUES ('storedRss', NULL);");
         }},
        // An unreadable list was backed up, then written over by a writer that read it as empty.
        {"replacedAfterABackup",
         [](auto& file) {
             KeyValueStore list(file);
             (void)list.setData("{not a list", kStoredWebsKey);
             saveWebs({{"Other", kFeedB, std::nullopt}}, list);
         }},
    };
    ASSERT_TRUE(saveArticles(feedEntries(2, "E", kFeedA, "A"), *store));
    for (const auto& [name, make] : rows) {
        SCOPED_TRACE(name);
        const auto file = store.folder() / (std::string(name) + ".sqlite");
        make(file);
        KeyValueStore list(file);
        auto result = cleanUpArticles(*store, list);
        ASSERT_FALSE(result.has_value());
        EXPECT_EQ(result.error().kind, StoreError::Kind::fetchFailed);
        EXPECT_NE(result.error().message.find("no article was cleaned up"), std::string::npos)
            << result.error().message;
        EXPECT_EQ(fetchAll(*store).size(), 2u);
    }
    TemporaryStore empty;
    EXPECT_TRUE(cleanUpArticles(*empty, kv)) << "no list and no article: nothing to do";
}

}  // namespace
}  // namespace pressling
