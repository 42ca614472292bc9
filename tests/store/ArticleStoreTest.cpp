// The article store: what open refuses, what fetch sees pending, what save writes and announces.

#include "store/ArticleStore.h"

#include "platform/DataFolder.h"
#include "support/StoreTestSupport.h"

#include <fstream>
#include <iterator>
#include <ranges>
#include <thread>

namespace pressling {
namespace {

using namespace test;
using Titles = std::vector<std::string>;

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ArticleStoreOpen, refusesAFileItCannotUseNamingItAndLeavingItByteForByte) {
    const struct {
        const char* name;
        const char* sql;     // what another program wrote into the file; none: no database
        const char* reason;  // a fragment of the message besides the file's name
    } rows[] = {
        {"corrupt", nullptr, "not a database"},
        {"foreignDatabase", "CREATE TABLE Contacts (name TEXT);", "not an article store"},
        {"ourVersionNoTables", "CREATE TABLE Contacts (x); PRAGMA user_version = 1;",
         "tables are missing"},
        {"newerVersion", "CREATE TABLE BlogPost (x); PRAGMA user_version = 3;", "newer version"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TemporaryDirectory folder;
        const auto file = folder.write("CDModel.sqlite", std::string(4096, 'Z'));
        if (row.sql) {
            std::filesystem::remove(file);
            auto db = sqlite::Database::open(file, sqlite::Database::Options{.wal = false});
            ASSERT_TRUE(db && db->execute(row.sql));
        }
        const std::string before = readBytes(file);
        expectStoreError(ArticleStore::open(file), StoreError::Kind::openFailed,
                         {file.string(), row.reason});
        EXPECT_EQ(readBytes(file), before) << "a refused file was written to";
    }
}

// In a child process, which has a persistentContainer of its own.
TEST(PersistentContainerDeathTest, aStoreThatCannotBeOpenedStopsTheProcessNamingTheFile) {
    TemporaryDirectory damaged;
    const auto file = damaged.write("CDModel.sqlite", std::string(8192, 'Z'));
    EXPECT_EXIT(
        {
            setDataFolderOverride(damaged.path());
            persistentContainer();
        },
        testing::ExitedWithCode(EXIT_FAILURE),
        "Unresolved error the article store cannot be opened, " + file.string() +
            ": .*not a database");
}

TEST(ArticleStoreContext, fetchSeesPendingChangesNewestFirstTiesByInsertionUndatedLast) {
    TemporaryStore store;
    insertAndSave(*store, {BlogPost{}, post("Tie first", day(3)), post("Doomed", day(4)),
                           post("Older", day(2))});
    store->deleteObject(fetchAll(*store)[0]);  // "Doomed"
    EXPECT_TRUE(store->hasChanges()) << "a pending deletion alone did not count";
    store->insert(post("Tie pending", day(3)));
    store->insert(post("Tie latest", day(3)));

    const Titles expected{"Tie latest", "Tie pending", "Tie first", "Older", "<none>"};  // undated
    EXPECT_EQ(titles(fetchAll(*store)), expected);
    EXPECT_EQ(titles(*store->fetch(ArticlePredicate::all(), 2)),
              Titles(expected.begin(), expected.begin() + 2));
    ASSERT_TRUE(store->save());
    store.reopen();
    EXPECT_EQ(titles(fetchAll(*store)), expected);
}

TEST(ArticleStoreContext,
     aFailedSaveKeepsItsChangesForTheNextWhichAnnouncesThemUnlikeABatchDelete) {
    TemporaryStore store;
    insertAndSave(*store, {post("Kept", day(5)), post("Doomed", day(6))});
    const BlogPost doomed = fetchAll(*store)[0];
    ChangeRecorder recorder(*store);

    store->insert(post("First", day(7)));
    store->insert(BlogPost{});  // a row written by someone else may lack every attribute
    store->deleteObject(doomed);
    alterStoreFile(store.file(), kFailInserts);
    expectStoreError(store->save(), StoreError::Kind::saveFailed, {store.file().string()});
    // The deletion ran before the failing insert: the rollback must have undone it.
    EXPECT_EQ(titles(fetchAll(*ArticleStore::open(store.file()).value())),
              (Titles{"Doomed", "Kept"}));

    alterStoreFile(store.file(), kHealFault);
    ASSERT_TRUE(store->save());
    EXPECT_FALSE(store->hasChanges());
    ASSERT_EQ(recorder.changes.size(), 1u) << "the failed save announced, or lost, its changes";
    EXPECT_EQ(recorder.changes[0].deleted, std::vector<BlogPost>{doomed});
    // The inserted posts carry the ids their rows got: a fetch finds them, every attribute kept.
    const auto stored = fetchAll(*store);  // First, Kept, the post without pubDate
    ASSERT_EQ(stored.size(), 3u);
    EXPECT_EQ(recorder.changes[0].inserted, (std::vector{stored[0], stored[2]}));

    // A batch delete takes stored rows alone, unannounced, and fails whole.
    store->insert(post("Pending", day(9)));
    EXPECT_EQ(store->batchDelete(ArticlePredicate::feed(kFeedA)).value_or(-1), 2);
    alterStoreFile(store.file(), kFailDeletes);
    expectStoreError(store->batchDelete(ArticlePredicate::all()), StoreError::Kind::deleteFailed);
    ASSERT_TRUE(store->save());
    EXPECT_EQ(titles(fetchAll(*store)), (Titles{"Pending", "<none>"}));
    EXPECT_EQ(recorder.changes.size(), 2u) << "a batch delete was announced";
}

// The SQL, the index and the in-memory match must agree, or a list shows a row a fetch does not.
TEST(ArticleStoreSearch, matchesTheSameInTheFileInMemoryAndPending) {
    const auto rows = readTable("store", "searches.txt");
    for (const auto& [expected, fields] : rows) {
        SCOPED_TRACE(fields);
        std::vector<std::string> field;  // needle, title, desc, web
        for (auto part : std::views::split(fields, '\t'))
            field.emplace_back(part.begin(), part.end());
        ASSERT_EQ(field.size(), 4u);
        const bool found = expected == "found";
        TemporaryStore store;
        const BlogPost candidate{.desc = field[2], .title = field[1], .web = field[3]};
        insertAndSave(*store, {candidate});
        const auto predicate = ArticlePredicate::searching(field[0]);
        EXPECT_EQ(fetchAll(*store, predicate).size(), found ? 1u : 0u) << "stored";
        ASSERT_TRUE(store->finishIndexing());
        EXPECT_EQ(fetchAll(*store, predicate).size(), found ? 1u : 0u) << "indexed";
        EXPECT_EQ(ArticleStore::matches(predicate, candidate), found) << "in memory";
        store->insert(candidate);
        EXPECT_EQ(fetchAll(*store, predicate).size(), found ? 2u : 0u) << "pending";
    }
}

// A store from before the index: its articles are found at once and indexed in the background.
TEST(ArticleStoreSearch, aStoreWithoutTheIndexGetsItsArticlesIndexedAfterOpening) {
    TemporaryStore store;
    insertAndSave(*store, {post("Stra\u00dfe im Sommer", day(7)), post("Other", day(8))});
    alterStoreFile(store.file(),
                   "DROP TRIGGER BlogPostSearch_deleteIndex; DROP TABLE BlogPostIndex; "
                   "DROP TABLE BlogPostIndexState; PRAGMA user_version = 1;");
    store.reopen();
    const auto summer = ArticlePredicate::searching("SOMMER");
    EXPECT_EQ(titles(fetchAll(*store, summer)), (Titles{"Stra\u00dfe im Sommer"}));

    auto watcher = sqlite::Database::open(store.file());
    ASSERT_TRUE(watcher);
    const auto indexedThrough = [&] {
        return watcher->queryInteger("SELECT indexedThrough FROM BlogPostIndexState").value_or(-1);
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (indexedThrough() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(indexedThrough(), 2) << "the articles were not indexed";
    insertAndSave(*store, {post("Sommerfest", day(9))});
    EXPECT_EQ(fetchAll(*store, summer).size(), 2u) << "an article saved after the index";
}

// Saves only append to the WAL; the store's thread copies it into the file, and a save does so
// itself once that thread falls behind: however long saves go on, the WAL stays bounded (here
// about 60 MB are saved without a pause) and nothing saved is lost.
TEST(ArticleStoreWal, staysBoundedThroughALongRunOfSaves) {
    TemporaryStore store;
    const std::string text(25000, 'x');
    for (int save = 0; save < 60; ++save) {
        for (int i = 0; i < 20; ++i)
            store->insert(BlogPost{.desc = text, .title = std::to_string(save * 20 + i)});
        ASSERT_TRUE(store->save());
    }
    EXPECT_LT(std::filesystem::file_size(store.file().string() + "-wal"), 48u << 20);
    store.reopen();
    EXPECT_EQ(fetchAll(*store).size(), 1200u);
}

}  // namespace
}  // namespace pressling
