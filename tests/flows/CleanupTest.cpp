// The clean-up that runs at every window activation: it must keep the articles of every
// subscribed feed (whatever its title), drop the others, and delete nothing on the strength of a
// list it could not read.

#include "flows/Cleanup.h"

#include "platform/KeyValueStore.h"
#include "store/ArticleOperations.h"
#include "subscriptions/StoredWebs.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <set>

namespace pressling {
namespace {

using test::alterStoreFile;
using test::article;
using test::day;
using test::fetchAll;
using test::TemporaryStore;

constexpr const char* kFeedA = "https://a.example/feed";
constexpr const char* kFeedB = "https://b.example/feed";

// Entries "<prefix>1" ... "<prefix>count" of one feed, entry i published on March i.
std::vector<Article> feedEntries(int count, const std::string& prefix, const std::string& blogLink,
                                 const std::string& web) {
    std::vector<Article> entries;
    for (int i = 1; i <= count; ++i) {
        entries.push_back(article(prefix + std::to_string(i),
                                  blogLink + "/" + std::to_string(i) + prefix.substr(0, 1),
                                  day(1, std::chrono::hours(24 * (i - 1))), blogLink, web));
    }
    return entries;
}

class CleanUpArticles : public testing::Test {
protected:
    TemporaryStore store;
    KeyValueStore subscriptions{store.folder() / "kvstore.sqlite"};

    void subscribe(std::vector<Web> webs) { saveWebs(webs, subscriptions); }
    std::set<std::string> feedsLeft() {
        std::set<std::string> feeds;
        for (const auto& post : fetchAll(*store)) feeds.insert(post.blogLink.value_or("<none>"));
        return feeds;
    }
};

TEST_F(CleanUpArticles, keepsRetitledAndUntitledFeedsAndRemovesUnsubscribedOnes) {
    ASSERT_TRUE(saveArticles(feedEntries(2, "R", kFeedA, "Renamed in the feed"), *store));
    ASSERT_TRUE(saveArticles(feedEntries(2, "W", kFeedB, "Web"), *store));
    ASSERT_TRUE(saveArticles(feedEntries(2, "G", "https://gone.example/feed", "Gone"), *store));
    BlogPost orphan;  // no blogLink: written by someone else, belongs to no feed
    orphan.web = "A";
    orphan.title = "Orphan";
    store->insert(orphan);
    ASSERT_TRUE(store->save().has_value());
    subscribe({{"A title in the list", kFeedA, std::nullopt}, {"Untitled feed", kFeedB, false}});

    for (int activation = 0; activation < 2; ++activation) {
        ASSERT_TRUE(cleanUpArticles(*store, subscriptions).has_value());
        EXPECT_EQ(feedsLeft(), (std::set<std::string>{kFeedA, kFeedB}));
        EXPECT_EQ(fetchAll(*store).size(), 4u);
    }
}

TEST_F(CleanUpArticles, deletesNothingOnASubscriptionListItCannotRead) {
    ASSERT_TRUE(saveArticles(feedEntries(2, "E", kFeedA, "A"), *store));
    ASSERT_TRUE(subscriptions.setData("{not a list", kStoredWebsKey).has_value());
    auto result = cleanUpArticles(*store, subscriptions);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, StoreError::Kind::fetchFailed);
    EXPECT_EQ(fetchAll(*store).size(), 2u);
}

TEST_F(CleanUpArticles, stopsAtTheFirstFailedDelete) {
    ASSERT_TRUE(saveArticles(feedEntries(2, "E", kFeedA, "A"), *store));
    subscribe({});
    alterStoreFile(store.file(), test::kFailDeletes);
    auto result = cleanUpArticles(*store, subscriptions);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error().kind, StoreError::Kind::deleteFailed);
    alterStoreFile(store.file(), test::kHealFault);
    EXPECT_EQ(fetchAll(*store).size(), 2u);
}

}  // namespace
}  // namespace pressling
