// Removing a subscription: the position is the one loadWebs gives, the feed's articles go
// first, and a store that refuses the deletion leaves the list exactly as it was.

#include "flows/RemoveFeed.h"

#include "platform/KeyValueStore.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "store/ArticleOperations.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <stdexcept>

namespace pressling {
namespace {

class RemoveFeedTest : public ::testing::Test {
protected:
    RemoveFeedTest() { installMainQueue(loop); }

    void storeList(const std::vector<Web>& webs) { saveWebs(webs, kv); }
    std::vector<Web> storedList() { return loadStoredWebs(kv); }
    std::optional<std::string> storedBytes() { return kv.dataForKey(kStoredWebsKey).value(); }

    // Stores two articles of web's feed, as a refresh would.
    void storeArticlesOf(const Web& web) {
        const Date day{std::chrono::sys_days{std::chrono::year{2021} / 3 / 7}};
        std::vector<Article> entries;
        for (int i = 1; i <= 2; ++i) {
            const std::string title = web.title + " " + std::to_string(i);
            entries.push_back(
                Article{title, "x", web.title, web.url,
                        Url::parse("https://example.org/" + std::to_string(i)).value(),
                        day + std::chrono::hours(i)});
        }
        ASSERT_TRUE(saveArticles(entries, *articles));
    }
    std::size_t articleCount(const std::string& feedUrl) {
        ArticlePredicate predicate;
        predicate.blogLinkEquals = feedUrl;
        return articles->fetch(predicate).value().size();
    }

    // Makes the article store's file refuse every deletion, as a damaged or foreign writer
    // might, behind the open store's back.
    void refuseDeletions() {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(articles->file().c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        const int status = sqlite3_exec(db,
                                        "CREATE TRIGGER refuseDeletion BEFORE DELETE ON BlogPost "
                                        "BEGIN SELECT RAISE(ABORT, 'deletion refused'); END",
                                        nullptr, nullptr, &error);
        EXPECT_EQ(status, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
    }

    test::TemporaryDirectory folder;
    KeyValueStore kv{folder.path() / "kvstore.sqlite"};
    RunLoop loop;
    std::unique_ptr<ArticleStore> articles = [this] {
        auto store = ArticleStore::open(folder.path() / "CDModel.sqlite");
        if (!store) throw std::runtime_error(store.error().message);
        return std::move(*store);
    }();
    int announcements = 0;
    NotificationCenter::Observer observer = NotificationCenter::defaultCenter().addObserver(
        std::string(kWillRemoveWebNotification), std::nullopt,
        NotificationCenter::Delivery::postingThread,
        [this](const Notification&) { ++announcements; });
};

const Web kBeta{"Beta", "https://beta.example/feed", false};
const Web kAlpha{"Alpha", "https://alpha.example/feed", true};
const Web kGamma{"Gamma", "https://gamma.example/feed", std::nullopt};

TEST_F(RemoveFeedTest, shouldRemoveTheEntryAtItsTitleOrderPositionWithItsArticles) {
    storeList({kBeta, kAlpha, kGamma});
    storeArticlesOf(kBeta);
    storeArticlesOf(kAlpha);

    ASSERT_TRUE(removeWeb(1, kv, *articles));  // Alpha, Beta, Gamma: Beta

    EXPECT_EQ(storedList(), (std::vector<Web>{kAlpha, kGamma}));
    EXPECT_EQ(articleCount(kBeta.url), 0u);
    EXPECT_EQ(articleCount(kAlpha.url), 2u);
    EXPECT_EQ(announcements, 1);
}

TEST_F(RemoveFeedTest, shouldRemoveOneOfTwoIdenticalEntries) {
    storeList({kAlpha, kBeta, kAlpha});

    ASSERT_TRUE(removeWeb(1, kv, *articles));

    EXPECT_EQ(storedList(), (std::vector<Web>{kAlpha, kBeta}));
    EXPECT_EQ(announcements, 1);
}

TEST_F(RemoveFeedTest, shouldLeaveAnEmptyArrayAfterTheOnlySubscription) {
    storeList({kGamma});

    ASSERT_TRUE(removeWeb(0, kv, *articles));

    EXPECT_EQ(storedBytes(), "[]");
    EXPECT_EQ(announcements, 1);
}

TEST_F(RemoveFeedTest, shouldChangeNothingWhenTheArticlesCannotBeDeleted) {
    storeList({kAlpha, kBeta});
    storeArticlesOf(kAlpha);
    const auto before = storedBytes();
    refuseDeletions();

    auto removed = removeWeb(0, kv, *articles);

    ASSERT_FALSE(removed);
    EXPECT_TRUE(removed.error().isArticlesNotDeleted());
    ASSERT_TRUE(removed.error().storeError);
    EXPECT_EQ(removed.error().storeError->kind, StoreError::Kind::deleteFailed);
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(articleCount(kAlpha.url), 2u);
    EXPECT_EQ(announcements, 0);
}

TEST_F(RemoveFeedTest, shouldRefuseAPositionOutsideTheList) {
    auto fromNothing = removeWeb(0, kv, *articles);
    ASSERT_FALSE(fromNothing);
    EXPECT_TRUE(fromNothing.error().isIndexOutOfRange());

    storeList({kAlpha});
    storeArticlesOf(kAlpha);
    const auto before = storedBytes();
    auto pastTheEnd = removeWeb(1, kv, *articles);
    ASSERT_FALSE(pastTheEnd);
    EXPECT_TRUE(pastTheEnd.error().isIndexOutOfRange());
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(articleCount(kAlpha.url), 2u);
    EXPECT_EQ(announcements, 0);
}

}  // namespace
}  // namespace pressling
