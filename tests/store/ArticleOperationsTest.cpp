// What the refresh, the remove flow and the shell do to the stored articles: saving a feed's
// entries (duplicates, the cap of 20 per feed group, failures), the day key and deleting a feed.

#include "store/ArticleOperations.h"

#include "support/StoreTestSupport.h"
#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace pressling {
namespace {

using namespace std::chrono_literals;
using test::alterStoreFile;
using test::article;
using test::day;
using test::fetchAll;
using test::TemporaryStore;
using test::TimeZoneOverride;

constexpr const char* kFeedA = "https://a.example/feed";
constexpr const char* kFeedB = "https://b.example/feed";

std::multiset<std::string> titleSet(const std::vector<BlogPost>& posts) {
    std::multiset<std::string> result;
    for (const auto& post : posts) result.insert(post.title.value_or("<none>"));
    return result;
}

// Entries "<prefix>1" ... "<prefix>count" of one feed, entry i published on March i.
std::vector<Article> feedEntries(int count, const std::string& prefix = "Entry ",
                                 const std::string& blogLink = kFeedA,
                                 const std::string& web = "A") {
    std::vector<Article> entries;
    for (int i = 1; i <= count; ++i) {
        const std::string title = prefix + std::to_string(i);
        entries.push_back(article(title, blogLink + "/" + std::to_string(i) + prefix.substr(0, 1),
                                  day(1, std::chrono::hours(24 * (i - 1))), blogLink, web));
    }
    return entries;
}

class ArticleOperations : public testing::Test {
protected:
    TemporaryStore store;
    test::ChangeRecorder recorder{*store};
    std::vector<ObjectsDidChange>& saves = recorder.changes;
};

// --- saveArticles: the cap ----------------------------------------------------------------

TEST_F(ArticleOperations, twentyFiveEntriesIntoAnEmptyStoreLeaveTheTwentyNewest) {
    ASSERT_TRUE(saveArticles(feedEntries(25), *store).has_value());

    const auto stored = fetchAll(*store);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.front().title, "Entry 25");
    EXPECT_EQ(stored.back().title, "Entry 6");
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].inserted.size(), 20u) << "the five cut entries must never land";
    EXPECT_TRUE(saves[0].deleted.empty());
}

TEST_F(ArticleOperations, theSharedWebGroupOfTwoUntitledFeedsIsCappedTogether) {
    ASSERT_TRUE(saveArticles(feedEntries(15, "A", kFeedA, "Web"), *store).has_value());
    auto second = feedEntries(10, "B", kFeedB, "Web");
    for (auto& entry : second) entry.pubDate += 24h * 30;  // all newer than feed A's
    // An entry of B with the title of a stored entry of A is a duplicate across the feeds.
    second.push_back(article("A3", "https://b.example/other", day(28), kFeedB, "Web"));
    ASSERT_TRUE(saveArticles(second, *store).has_value());

    const auto stored = fetchAll(*store);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(std::count_if(stored.begin(), stored.end(),
                            [](const BlogPost& p) { return p.blogLink == kFeedB; }),
              10);
    EXPECT_EQ(stored.back().title, "A6");
    EXPECT_EQ(std::count_if(stored.begin(), stored.end(),
                            [](const BlogPost& p) {
                                return p.link->absoluteString() == "https://b.example/other";
                            }),
              0);
}

// --- saveArticles: duplicates -------------------------------------------------------------

TEST_F(ArticleOperations, theSameDocumentTwiceInsertsNothingTheSecondTime) {
    ASSERT_TRUE(saveArticles(feedEntries(5), *store).has_value());
    ASSERT_TRUE(saveArticles(feedEntries(5), *store).has_value());
    EXPECT_EQ(fetchAll(*store).size(), 5u);
    EXPECT_EQ(saves.size(), 1u) << "the second save wrote something";
}

struct DuplicateCase {
    const char* name;
    Article stored;
    std::vector<Article> incoming;
    std::multiset<std::string> expectedTitles;
};

void PrintTo(const DuplicateCase& c, std::ostream* out) { *out << c.name; }

class ArticleDuplicates : public testing::TestWithParam<DuplicateCase> {};

TEST_P(ArticleDuplicates, areSkipped) {
    TemporaryStore store;
    ASSERT_TRUE(saveArticles({GetParam().stored}, *store).has_value());
    ASSERT_TRUE(saveArticles(GetParam().incoming, *store).has_value());
    EXPECT_EQ(titleSet(fetchAll(*store)), GetParam().expectedTitles);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ArticleDuplicates,
    testing::Values(
        DuplicateCase{"sameTitleOtherLink",
                      article("Same", "https://a.example/1", day(1)),
                      {article("Same", "https://a.example/2", day(2))},
                      {"Same"}},
        DuplicateCase{"sameLinkNewTitle",
                      article("Old", "https://a.example/1", day(1)),
                      {article("New", "https://a.example/1", day(2))},
                      {"Old"}},
        DuplicateCase{"sameLinkTwiceInOneList",
                      article("Stored", "https://a.example/0", day(1)),
                      {article("First", "https://a.example/1", day(2)),
                       article("Second", "https://a.example/1", day(3))},
                      {"Stored", "First"}},
        // "Café" with U+00E9 stored; the feed now writes "e" + U+0301.
        DuplicateCase{"canonicallyEquivalentTitle",
                      article("Caf\xC3\xA9", "https://a.example/1", day(1)),
                      {article("Cafe\xCC\x81", "https://a.example/2", day(2))},
                      {"Caf\xC3\xA9"}},
        // The group is blogLink OR web: an entry of another feed with the same web counts.
        DuplicateCase{"sameWebOtherFeed",
                      article("Shared", "https://a.example/1", day(1)),
                      {article("Shared", "https://b.example/1", day(2), kFeedB, "A")},
                      {"Shared"}},
        DuplicateCase{"otherFeedIsNoDuplicate",
                      article("Title", "https://a.example/1", day(1)),
                      {article("Title", "https://a.example/1", day(2), kFeedB, "B")},
                      {"Title", "Title"}}),
    [](const testing::TestParamInfo<DuplicateCase>& info) { return std::string(info.param.name); });

TEST_F(ArticleOperations, aStoredPostWithoutLinkMatchesByTitleOnly) {
    BlogPost linkless;
    linkless.blogLink = kFeedA;
    linkless.web = "A";
    linkless.title = "No link";
    linkless.pubDate = day(1);
    store->insert(linkless);
    ASSERT_TRUE(store->save().has_value());

    ASSERT_TRUE(saveArticles({article("No link", "https://a.example/x", day(2)),
                              article("Other", "https://a.example/y", day(3))},
                             *store));
    EXPECT_EQ(titleSet(fetchAll(*store)), (std::multiset<std::string>{"No link", "Other"}));
}

// --- saveArticles: what it does not do, and failures ---------------------------------------

TEST_F(ArticleOperations, anEmptyListNeitherFetchesNorSaves) {
    store->insert(BlogPost{});  // a pending change that an unwanted save would write
    alterStoreFile(store.file(), test::kHideArticles);

    EXPECT_TRUE(saveArticles({}, *store).has_value()) << "it read the store";
    EXPECT_TRUE(saves.empty());
    EXPECT_TRUE(store->hasChanges());

    auto failed = saveArticles(feedEntries(1), *store);
    ASSERT_FALSE(failed.has_value()) << "the broken store went unnoticed: the check above "
                                        "proves nothing";
    EXPECT_EQ(failed.error().kind, StoreError::Kind::fetchFailed);
    EXPECT_NE(failed.error().message.find(store.file().string()), std::string::npos);
    alterStoreFile(store.file(), test::kShowArticles);
}

TEST_F(ArticleOperations, aFailedSaveKeepsTheEntriesForTheNextSave) {
    ASSERT_TRUE(saveArticles(feedEntries(20, "Old "), *store).has_value());
    auto fresh = feedEntries(2, "Fresh ");
    for (auto& entry : fresh) entry.pubDate += 24h * 30;

    alterStoreFile(store.file(), test::kFailInserts);
    auto failed = saveArticles(fresh, *store);
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().kind, StoreError::Kind::saveFailed);
    EXPECT_TRUE(store->hasChanges());

    alterStoreFile(store.file(), test::kHealFault);
    ASSERT_TRUE(store->save().has_value());
    const auto stored = fetchAll(*store);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.front().title, "Fresh 2");
    EXPECT_EQ(stored.back().title, "Old 3");
}

// --- makeSectionDate ----------------------------------------------------------------------

TEST(MakeSectionDate, isTheDayInTheCurrentZoneFollowingChangesOfIt) {
    // 2021-03-06 15:10 UTC is 00:10 on the 7th in Tokyo (UTC+9).
    const Date justAfterTokyoMidnight = day(6, 15h + 10min);
    {
        TimeZoneOverride zone("Asia/Tokyo");
        EXPECT_EQ(makeSectionDate(justAfterTokyoMidnight), "2021-03-07");
    }
    {
        TimeZoneOverride zone("UTC");
        EXPECT_EQ(makeSectionDate(justAfterTokyoMidnight), "2021-03-06");
    }
    {
        // 04:50 UTC on the 7th is 23:50 on the 6th in New York (UTC-5).
        TimeZoneOverride zone("America/New_York");
        EXPECT_EQ(makeSectionDate(day(7, 4h + 50min)), "2021-03-06");
    }
}

TEST(MakeSectionDate, writesTheYearWithoutLeadingZerosAndPadsMonthAndDay) {
    TimeZoneOverride zone("UTC");
    using namespace std::chrono;
    const auto at = [](year_month_day date) {
        return time_point_cast<milliseconds>(sys_days(date) + 1h);
    };
    EXPECT_EQ(makeSectionDate(at(year(999) / January / 2)), "999-01-02");
    EXPECT_EQ(makeSectionDate(at(year(2024) / December / 31)), "2024-12-31");
}

TEST_F(ArticleOperations, savedArticlesCarryTheLocalDayOfTheirDate) {
    TimeZoneOverride zone("Asia/Tokyo");
    ASSERT_TRUE(
        saveArticles({article("Early", "https://a.example/1", day(6, 15h + 10min))}, *store));
    EXPECT_EQ(fetchAll(*store).at(0).sectionDate, "2021-03-07");
}

// --- deleteArticles -----------------------------------------------------------------------

TEST_F(ArticleOperations, deletingAFeedByUrlAlsoTakesArticlesWhoseWebIsThatUrl) {
    ASSERT_TRUE(saveArticles(feedEntries(3, "A", kFeedA, "A"), *store));
    ASSERT_TRUE(saveArticles(feedEntries(2, "B", kFeedB, kFeedA), *store));  // web == A's URL
    ASSERT_TRUE(saveArticles(feedEntries(2, "C", "https://c.example/feed", "C"), *store));
    saves.clear();

    ASSERT_TRUE(deleteArticles(kFeedA, *store).has_value());
    EXPECT_EQ(titleSet(fetchAll(*store)), (std::multiset<std::string>{"C1", "C2"}));
    EXPECT_TRUE(saves.empty()) << "a batch delete was announced";
}

}  // namespace
}  // namespace pressling
