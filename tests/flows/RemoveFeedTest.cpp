// Removing a subscription at its loadWebs position, articles first; a refused delete changes
// nothing.

#include "flows/RemoveFeed.h"

#include "store/ArticleOperations.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

using namespace test;

const Web kBeta{"Beta", "https://beta.example/feed", false};
const Web kAlpha{"Alpha", "https://alpha.example/feed", true};
const Web kGamma{"Gamma", "https://gamma.example/feed", std::nullopt};

class RemoveFeedTest : public FlowTest {
protected:
    void storeArticlesOf(const Web& web) {
        ASSERT_TRUE(saveArticles(feedEntries(2, web.title, web.url, web.title), *store));
    }

    NotificationCount announcements{kWillRemoveWebNotification};
};

TEST_F(RemoveFeedTest, removesTheEntryAtItsTitleOrderPositionWithItsArticles) {
    const struct {
        const char* name;
        std::vector<Web> stored;
        std::size_t index;
        std::vector<Web> left;
        Web gone, kept;  // whose articles go, and whose stay
    } rows[] = {
        // Alpha, Beta, Gamma in title order.
        {"byTitleOrder", {kBeta, kAlpha, kGamma}, 1, {kAlpha, kGamma}, kBeta, kAlpha},
        {"oneOfTwoIdentical", {kAlpha, kBeta, kAlpha}, 1, {kAlpha, kBeta}, kAlpha, kBeta},
        {"theOnlyOne", {kGamma}, 0, {}, kGamma, kAlpha},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        storeList(row.stored);
        storeArticlesOf(kBeta);
        storeArticlesOf(kAlpha);
        announcements.count = 0;
        ASSERT_TRUE(removeWeb(row.index, kv, *store));
        EXPECT_EQ(storedList(), row.left);
        EXPECT_EQ(announcements.count, 1);
        EXPECT_TRUE(storedTitles(row.gone.url).empty());
        EXPECT_EQ(storedTitles(row.kept.url).size(), 2u);
    }
    EXPECT_EQ(storedBytes(), "[]");
}

TEST_F(RemoveFeedTest, changesNothingForAPositionOutsideTheListOrWhenTheArticlesStay) {
    EXPECT_TRUE(removeWeb(0, kv, *store).error().isIndexOutOfRange()) << "no list at all";
    storeList({kAlpha, kBeta});
    storeArticlesOf(kAlpha);
    const auto before = storedBytes();
    EXPECT_TRUE(removeWeb(2, kv, *store).error().isIndexOutOfRange());

    alterStoreFile(store.file(), kFailDeletes);
    auto removed = removeWeb(0, kv, *store);
    ASSERT_FALSE(removed);
    EXPECT_TRUE(removed.error().isArticlesNotDeleted());
    EXPECT_EQ(removed.error().storeError->kind, StoreError::Kind::deleteFailed);
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(storedTitles(kAlpha.url).size(), 2u);
    EXPECT_EQ(announcements.count, 0);
}

}  // namespace
}  // namespace pressling
