// Saving a feed's entries (duplicates, the cap of 20, bounded texts, failures), day keys, deletion.

#include "store/ArticleOperations.h"

#include "feedparse/TextLimits.h"
#include "support/StoreTestSupport.h"

namespace pressling {
namespace {

using namespace std::chrono_literals;
using namespace test;
using Titles = std::vector<std::string>;

class ArticleOperations : public testing::Test {
protected:
    TemporaryStore store;
    ChangeRecorder recorder{*store};
};

// A failed save keeps the new entries and the cut of the old ones for the next save.
TEST_F(ArticleOperations, keepsTheTwentyNewestNeverWritingTheCutOnesNorAnUnchangedDocument) {
    for (int pass = 0; pass < 2; ++pass) ASSERT_TRUE(saveArticles(feedEntries(25), *store));
    ASSERT_EQ(recorder.changes.size(), 1u) << "the second, unchanged document wrote something";
    EXPECT_EQ(recorder.changes[0].inserted.size(), 20u) << "the five cut entries landed";

    auto fresh = feedEntries(2, "Fresh ");
    for (auto& entry : fresh) entry.pubDate += 24h * 30;
    alterStoreFile(store.file(), kFailInserts);
    expectStoreError(saveArticles(fresh, *store), StoreError::Kind::saveFailed);
    alterStoreFile(store.file(), kHealFault);
    ASSERT_TRUE(store->save());
    const auto stored = fetchAll(*store);
    ASSERT_EQ(stored.size(), 20u);
    EXPECT_EQ(stored.front().title, "Fresh 2");
    EXPECT_EQ(stored.back().title, "Entry 8");
}

// Entries are found by what they hold, whether their texts were folded ahead (the twenty newest
// of the document, here one entry and nineteen duplicates of it) or by the save (the oldest,
// which the cap keeps after all).
TEST_F(ArticleOperations, entriesAreFoundBySearchFoldedAheadOrByTheSave) {
    std::vector<Article> entries(20, article("\u00dcberschrift", "https://x.example/2", day(2)));
    entries.push_back(article("Alte Stra\u00dfe", "https://x.example/1", day(1)));
    ASSERT_TRUE(saveArticles(entries, *store));
    for (std::string title : {"\u00dcberschrift", "Alte Stra\u00dfe"})
        EXPECT_EQ(titles(fetchAll(*store, ArticlePredicate::searching(title))), Titles{title});
}

// Each row stores one entry, then saves a list against it.
TEST(ArticleDuplicates, areSkipped) {
    // An entry of feed A (web "A") unless told, at https://x.example/<n>, dated March n.
    const auto e = [](const char* title, int n, const char* feed = kFeedA, const char* web = "A") {
        return article(title, "https://x.example/" + std::to_string(n), day(n), feed, web);
    };
    const struct {
        const char* name;
        Article stored;
        std::vector<Article> incoming;
        Titles kept;  // newest first
    } rows[] = {
        {"sameTitleOtherLink", e("Same", 1), {e("Same", 2)}, {"Same"}},
        {"sameLinkNewTitle", e("Old", 1), {e("New", 1)}, {"Old"}},
        {"sameLinkTwiceInOneList", e("Stored", 1), {e("A", 2), e("B", 2)}, {"A", "Stored"}},
        // "Café" with U+00E9 stored; the feed now writes "e" + U+0301.
        {"equivalentTitle", e("Caf\u00e9", 1), {e("Cafe\u0301", 2)}, {"Caf\u00e9"}},
        {"equivalentStoredTitle", e("Cafe\u0301", 1), {e("Caf\u00e9", 2)}, {"Cafe\u0301"}},
        // The group is blogLink OR web: an entry of another feed with the same web counts.
        {"sameWebOtherFeed", e("Same", 1), {e("Same", 2, kFeedB)}, {"Same"}},
        {"otherFeedIsNoDuplicate", e("Same", 1), {e("Same", 1, kFeedB, "B")}, {"Same", "Same"}},
    };
    for (const auto& row : rows) {
        TemporaryStore store;
        ASSERT_TRUE(saveArticles({row.stored}, *store));
        ASSERT_TRUE(saveArticles(row.incoming, *store));
        EXPECT_EQ(titles(fetchAll(*store)), row.kept) << row.name;
    }
}

// Texts cut to their caps (never inside a character), an overlong link dropped, still a duplicate.
TEST_F(ArticleOperations, storesOversizedTextsWithinTheirCaps) {
    // "é" (2 bytes) straddles the title's cap.
    const std::string title = std::string(kMaxTitleBytes - 1, 't') + "\xC3\xA9" + "tail";
    Article huge = article(title, "https://a.example/" + std::string(kMaxLinkBytes, 'l'), day(1),
                           kFeedA, std::string(kMaxTitleBytes + 9, 'w'));
    huge.description = std::string(kMaxDescriptionBytes + 1, 'd');
    for (int pass = 0; pass < 2; ++pass) ASSERT_TRUE(saveArticles({huge}, *store));

    const auto stored = fetchAll(*store);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].title, title.substr(0, kMaxTitleBytes - 1));
    EXPECT_EQ(stored[0].web->size(), kMaxTitleBytes);
    EXPECT_EQ(stored[0].desc->size(), kMaxDescriptionBytes);
    EXPECT_EQ(stored[0].link, std::nullopt);
    EXPECT_EQ(stored[0].sectionDate, makeSectionDate(huge.pubDate));
}

// The day in the zone current at the call, the year unpadded.
TEST(MakeSectionDate, isTheDayInTheCurrentZone) {
    using namespace std::chrono;
    const struct {
        const char* zone;
        Date date;
        const char* expected;
    } rows[] = {
        {"Asia/Tokyo", day(6, 15h + 10min), "2021-03-07"},       // 00:10 on the 7th at UTC+9
        {"UTC", day(6, 15h + 10min), "2021-03-06"},              // the same moment
        {"America/New_York", day(7, 4h + 50min), "2021-03-06"},  // 23:50 on the 6th at UTC-5
        {"UTC", Date(sys_days(year(999) / January / 2)), "999-01-02"},
        {"UTC", Date(sys_days(year(2024) / December / 31)), "2024-12-31"},
    };
    ScopedEnvironment environment;
    for (const auto& row : rows) {
        environment.set("TZ", row.zone);
        EXPECT_EQ(makeSectionDate(row.date), row.expected) << row.zone;
    }
}

TEST_F(ArticleOperations, deletingAFeedByUrlAlsoTakesTheArticlesWhoseWebIsThatUrl) {
    ASSERT_TRUE(saveArticles(feedEntries(3, "A", kFeedA, "A"), *store));
    ASSERT_TRUE(saveArticles(feedEntries(2, "B", kFeedB, kFeedA), *store));  // web == A's URL
    ASSERT_TRUE(saveArticles(feedEntries(2, "C", "https://c.example/feed", "C"), *store));
    ASSERT_TRUE(deleteArticles(kFeedA, *store));
    EXPECT_EQ(titles(fetchAll(*store)), (Titles{"C2", "C1"}));
}

}  // namespace
}  // namespace pressling
