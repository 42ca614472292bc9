// The article list: section order, batches read on demand, keyset paging, predicates, changes.

#include "store/FetchedResultsController.h"

#include "support/StoreTestSupport.h"

namespace pressling {
namespace {

using namespace std::chrono_literals;
using namespace test;
using ChangeType = FetchedResultsChangeType;
using Titles = std::vector<std::string>;

// A section as a list shows it: its name and its rows' titles (unique here, so they name rows).
struct MirrorSection {
    std::string name;
    Titles rows;
    friend bool operator==(const MirrorSection&, const MirrorSection&) = default;
};
using Mirror = std::vector<MirrorSection>;

// Every row of the controller, read through objectAt.
Mirror readAll(FetchedResultsController& controller) {
    Mirror mirror;
    for (std::size_t s = 0; s < controller.numberOfSections(); ++s) {
        mirror.push_back({controller.sectionName(s), {}});
        for (std::size_t r = 0; r < controller.numberOfObjects(s); ++r) {
            auto post = controller.objectAt({s, r});
            EXPECT_TRUE(post.has_value()) << post.error().message;
            if (post) mirror.back().rows.push_back(post->title.value_or("<none>"));
        }
    }
    return mirror;
}

Titles flatten(const Mirror& mirror) {
    Titles rows;
    for (const auto& section : mirror)
        rows.insert(rows.end(), section.rows.begin(), section.rows.end());
    return rows;
}

// Applies each change as it arrives, as a table view would, checking old paths name their rows.
struct MirrorDelegate : FetchedResultsControllerDelegate {
    explicit MirrorDelegate(Mirror initial) : mirror(std::move(initial)) {}

    void controllerWillChangeContent(FetchedResultsController&) override {
        EXPECT_FALSE(std::exchange(changing, true)) << "nested will-change";
        ++batches;
    }
    void didChangeSection(FetchedResultsController&, const SectionInfo& section, std::size_t index,
                          ChangeType type) override {
        ASSERT_TRUE(changing && (type == ChangeType::insert || type == ChangeType::remove));
        ASSERT_LE(index + (type == ChangeType::remove), mirror.size());
        const auto at = mirror.begin() + std::ptrdiff_t(index);
        if (type == ChangeType::insert)
            return void(mirror.insert(at, MirrorSection{section.name, {}}));
        EXPECT_EQ(*at, (MirrorSection{section.name, {}})) << "not an empty section";
        mirror.erase(at);
    }
    void didChangeObject(FetchedResultsController&, const BlogPost& object, ChangeType type,
                         std::optional<IndexPath> oldPath,
                         std::optional<IndexPath> newPath) override {
        const bool removed = type == ChangeType::remove;  // the store never modifies in place
        ASSERT_TRUE(changing && (removed || type == ChangeType::insert));
        const auto& path = removed ? oldPath : newPath;
        ASSERT_TRUE(path && path->section < mirror.size());
        auto& rows = mirror[path->section].rows;
        ASSERT_LE(path->row + removed, rows.size());
        const auto at = rows.begin() + std::ptrdiff_t(path->row);
        if (!removed) return void(rows.insert(at, object.title.value_or("<none>")));
        EXPECT_EQ(*at, object.title) << "the old path names another row";
        rows.erase(at);
    }
    void controllerDidChangeContent(FetchedResultsController&) override {
        EXPECT_TRUE(std::exchange(changing, false));
    }

    Mirror mirror;
    int batches = 0;
    bool changing = false;
};

TEST(FetchedResults, sectionsRunNewestDayFirstWithUndatedNamesAfterAndTheNamelessLast) {
    TemporaryStore store;
    insertAndSave(
        *store,
        {post("5a", day(5, 9h)), post("7a", day(7, 8h)), post("5b", day(5, 10h)),
         BlogPost{.sectionDate = "", .title = "Empty section"}, BlogPost{.title = "No section"},
         BlogPost{.sectionDate = "someday", .title = "Odd section"},
         BlogPost{.sectionDate = "later", .title = "Other odd"}, post("7b", day(7, 9h)),
         BlogPost{.sectionDate = "2021-03-07", .title = "Undated"}, post("10a", day(10))});

    FetchedResultsController controller(*store);
    EXPECT_EQ(controller.numberOfSections(), 0u) << "sections before the fetch";
    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(readAll(controller), (Mirror{{"2021-03-10", {"10a"}},
                                           {"2021-03-07", {"7b", "7a", "Undated"}},
                                           {"2021-03-05", {"5b", "5a"}},
                                           {"someday", {"Odd section"}},
                                           {"later", {"Other odd"}},
                                           {"", {"No section", "Empty section"}}}));
    for (IndexPath outside : {IndexPath{0, 1}, IndexPath{6, 0}}) {
        expectStoreError(controller.objectAt(outside), StoreError::Kind::fetchFailed);
        EXPECT_EQ(controller.loadedObjectAt(outside), nullptr);
    }
}

TEST(FetchedResults, readsBatchesOfTwentyOnDemandByKeysetAcrossEqualDatesCachingAFewOfThem) {
    TemporaryStore store;
    const std::size_t rows = (FetchedResultsController::kMaxCachedBatches + 6) * 20 + 7;
    const std::size_t batches = (rows + 19) / 20;
    std::vector<BlogPost> posts;  // "0", "1", ... on March 7, seven to a second: ties span batches
    for (std::size_t i = 0; i < rows; ++i)
        posts.push_back(post(std::to_string(i), day(7, 1h) + 1s * int(i / 7)));
    insertAndSave(*store, posts);
    const auto reference = titles(fetchAll(*store));

    FetchedResultsController controller(*store);
    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(controller.fetchedObjectCount(), rows);
    EXPECT_EQ(controller.loadedBatchCount(), 0u);
    EXPECT_EQ(controller.loadedObjectAt({0, 0}), nullptr);
    // A jump reads by offset, or by keyset from the nearest loaded batch above and skipping on.
    for (std::size_t row : {56u, 0u, 112u, 20u}) controller.objectAt({0, row});
    for (std::size_t row = 0; row < 120; ++row)
        EXPECT_EQ(controller.objectAt({0, row})->title, reference[row]) << "row " << row;
    EXPECT_EQ(controller.loadedBatchCount(), 6u);

    ASSERT_TRUE(controller.performFetch());
    EXPECT_EQ(flatten(readAll(controller)), reference);
    EXPECT_EQ(controller.loadedBatchCount(), batches) << "a batch was read twice";
    EXPECT_EQ(controller.loadedObjectAt({0, 0}), nullptr) << "the oldest batch stayed";
    EXPECT_NE(controller.loadedObjectAt({0, rows - 1}), nullptr);
    // The least recently used batch goes, not the first kept: that one was just used again.
    const std::size_t firstKept = (batches - FetchedResultsController::kMaxCachedBatches) * 20;
    controller.objectAt({0, firstKept});
    EXPECT_EQ(controller.objectAt({0, 0})->title, reference.front());
    EXPECT_EQ(controller.loadedBatchCount(), batches + 1);
    EXPECT_NE(controller.loadedObjectAt({0, firstKept}), nullptr) << "the batch used last went";
}

// Three lists with their own predicates follow saves; each must match a fresh list and a fetch.
class FetchedResultsChanges : public testing::Test {
protected:
    struct List {
        std::optional<ArticlePredicate> predicate;
        std::unique_ptr<FetchedResultsController> controller;
        std::unique_ptr<MirrorDelegate> delegate;
    };

    FetchedResultsChanges() {
        std::vector<BlogPost> posts;
        for (int d : {3, 5, 7}) {
            for (int i = 0; i < 4; ++i)
                posts.push_back(post(fmt::format("Day {} #{}", d, i),
                                     day(d, 1h * (i % 2 ? 10 : 12)), i % 2 ? kFeedB : kFeedA));
        }
        insertAndSave(*store, posts);
        ArticlePredicate feedSearch = ArticlePredicate::searching("#1");
        feedSearch.blogLinkEquals = kFeedB;
        for (auto predicate :
             {std::optional<ArticlePredicate>(), std::optional(ArticlePredicate::feed(kFeedA)),
              std::optional(feedSearch)}) {
            auto& list = lists.emplace_back(
                predicate, std::make_unique<FetchedResultsController>(*store, predicate));
            EXPECT_TRUE(list.controller->performFetch());
            list.delegate = std::make_unique<MirrorDelegate>(readAll(*list.controller));
            list.controller->setDelegate(list.delegate.get());
        }
    }

    void expectMirrorsMatchTheStore(const char* step) {
        for (std::size_t i = 0; i < lists.size(); ++i) {
            SCOPED_TRACE(testing::Message() << step << ", list " << i);
            FetchedResultsController fresh(*store, lists[i].predicate);
            ASSERT_TRUE(fresh.performFetch());
            const Mirror expected = readAll(fresh);
            EXPECT_EQ(flatten(expected),
                      titles(fetchAll(*store, lists[i].predicate.value_or(ArticlePredicate{}))));
            EXPECT_EQ(lists[i].delegate->mirror, expected);
            EXPECT_EQ(readAll(*lists[i].controller), expected);
            EXPECT_EQ(lists[i].controller->fetchedObjectCount(), flatten(expected).size());
        }
    }
    void deleteStored(std::initializer_list<std::string> doomed) {
        for (const auto& post : fetchAll(*store))
            if (std::ranges::count(doomed, post.title.value_or(""))) store->deleteObject(post);
    }

    TemporaryStore store;
    std::vector<List> lists;
};

TEST_F(FetchedResultsChanges, insertsDeletionsAndMixedSavesTurnEachMirrorIntoTheNewResults) {
    // Only the lists whose predicate a save touches hear of it.
    insertAndSave(*store, {post("Other feed", day(8), "https://c.example/feed")});
    expectMirrorsMatchTheStore("after an unrelated save");
    EXPECT_EQ(lists[0].delegate->batches, 1);
    EXPECT_EQ(lists[1].delegate->batches + lists[2].delegate->batches, 0);

    insertAndSave(*store, {post("Newest day", day(9), kFeedA), post("Between", day(4), kFeedA),
                           post("Top of day 7", day(7, 20h), kFeedB),
                           post("Tie in day 5", day(5, 12h), kFeedA),
                           post("Day 5 #1 bis", day(5, 11h), kFeedB)});
    expectMirrorsMatchTheStore("after inserts");
    EXPECT_EQ(lists[0].delegate->batches, 2);

    deleteStored({"Day 3 #0", "Day 3 #1", "Day 3 #2", "Day 3 #3", "Between", "Day 7 #2"});
    ASSERT_TRUE(store->save());
    expectMirrorsMatchTheStore("after deletions that empty two sections");

    // Inserted rows before and after the deleted ones, in the same section and in others.
    deleteStored({"Day 5 #1", "Day 5 #2", "Day 7 #0"});
    insertAndSave(*store,
                  {post("Day 5 first", day(5, 22h), kFeedB), post("Day 5 last", day(5, 1h), kFeedA),
                   post("Day 5 tie", day(5, 12h), kFeedA), post("Day 10", day(10), kFeedB)});
    expectMirrorsMatchTheStore("after a mixed save");

    // The cap of saveArticles: new entries in and the oldest of the group out, one save.
    ASSERT_TRUE(saveArticles(feedEntries(15, "Capped ", kFeedA, "Feed"), *store));
    expectMirrorsMatchTheStore("after a capped save");

    // A list hears nothing of a batch delete, and takes a new predicate, until it fetches again.
    const std::size_t shown = lists[0].controller->fetchedObjectCount();
    ASSERT_TRUE(store->batchDelete(ArticlePredicate::feed(kFeedA)));
    const auto search = ArticlePredicate::searching("DAY");  // all but "Other feed"
    lists[0].controller->setPredicate(search);
    EXPECT_EQ(lists[0].controller->fetchedObjectCount(), shown) << "changed before performFetch";
    ASSERT_TRUE(lists[0].controller->performFetch());
    EXPECT_EQ(flatten(readAll(*lists[0].controller)), titles(fetchAll(*store, search)));
}

}  // namespace
}  // namespace pressling
