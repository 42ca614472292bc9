// The article store's file and its view context: what open accepts and refuses (never
// touching a file it refuses), what a fetch sees of pending changes, what a save writes,
// keeps after a failure and announces, and how the search matches text.

#include "store/ArticleStore.h"

#include "support/StoreTestSupport.h"
#include "platform/DataFolder.h"
#include "platform/NotificationCenter.h"
#include "store/PersistentContainer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

namespace pressling {
namespace {

using test::alterStoreFile;
using test::ChangeRecorder;
using test::day;
using test::fetchAll;
using test::TemporaryDirectory;
using test::TemporaryStore;

BlogPost post(std::string title, Date pubDate, std::string blogLink = "https://a.example/feed") {
    BlogPost made;
    made.blogLink = std::move(blogLink);
    made.desc = "<p>" + title + "</p>";
    made.link =
        Url::parse("https://a.example/" + std::to_string(pubDate.time_since_epoch().count()));
    made.pubDate = pubDate;
    made.sectionDate = "2021-03-07";
    made.title = std::move(title);
    made.web = "A";
    return made;
}

std::vector<std::string> titles(const std::vector<BlogPost>& posts) {
    std::vector<std::string> result;
    for (const auto& p : posts) result.push_back(p.title.value_or("<none>"));
    return result;
}

std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

// --- Opening ------------------------------------------------------------------------------

TEST(ArticleStoreOpen, aNewFileKeepsEveryAttributeAcrossReopening) {
    TemporaryStore store;
    BlogPost full = post("Full", day(7));
    BlogPost bare;  // a row written by someone else may lack every attribute
    store->insert(full);
    store->insert(bare);
    ASSERT_TRUE(store->save().has_value());

    store.reopen();
    const auto posts = fetchAll(*store);
    ASSERT_EQ(posts.size(), 2u);
    full.objectID = posts[0].objectID;
    bare.objectID = posts[1].objectID;
    EXPECT_EQ(posts[0], full);
    EXPECT_EQ(posts[1], bare) << "the post without pubDate sorts last";
    EXPECT_GT(posts[0].objectID, 0);
}

struct RefusedFile {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
    const char* reason;  // a fragment of the message besides the file's name
};

void PrintTo(const RefusedFile& file, std::ostream* out) { *out << file.name; }

class ArticleStoreRefusesFile : public testing::TestWithParam<RefusedFile> {};

TEST_P(ArticleStoreRefusesFile, namingTheFileAndLeavingItByteForByte) {
    TemporaryDirectory folder;
    const auto file = folder.path() / "CDModel.sqlite";
    GetParam().make(file);
    const std::string before = readBytes(file);

    auto opened = ArticleStore::open(file);
    ASSERT_FALSE(opened.has_value());
    EXPECT_EQ(opened.error().kind, StoreError::Kind::openFailed);
    EXPECT_NE(opened.error().message.find(file.string()), std::string::npos)
        << opened.error().message;
    EXPECT_NE(opened.error().message.find(GetParam().reason), std::string::npos)
        << opened.error().message;
    EXPECT_EQ(readBytes(file), before) << "a refused file was written to";
}

void writeDatabase(const std::filesystem::path& file, std::string_view sql) {
    auto db = sqlite::Database::open(file, sqlite::Database::Options{.wal = false});
    ASSERT_TRUE(db.has_value());
    ASSERT_TRUE(db->execute(sql).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Files, ArticleStoreRefusesFile,
    testing::Values(RefusedFile{"corrupt",
                                [](const std::filesystem::path& file) {
                                    std::ofstream(file, std::ios::binary)
                                        << std::string(4096, '\x5a') << "not a database";
                                },
                                "not a database"},
                    RefusedFile{"foreignDatabase",
                                [](const std::filesystem::path& file) {
                                    writeDatabase(file, "CREATE TABLE Contacts (name TEXT);");
                                },
                                "not an article store"},
                    RefusedFile{"newerVersion",
                                [](const std::filesystem::path& file) {
                                    writeDatabase(
                                        file,
                                        "CREATE TABLE BlogPost (x); PRAGMA user_version = 2;");
                                },
                                "newer version"}),
    [](const testing::TestParamInfo<RefusedFile>& info) { return std::string(info.param.name); });

// --- The process's store -------------------------------------------------------------------

// Each case runs in a child process, which has a persistentContainer of its own.
TEST(PersistentContainerDeathTest, opensTheDataFolderStoreOnceAndKeepsIt) {
    TemporaryDirectory folder;
    EXPECT_EXIT(
        {
            setDataFolderOverride(folder.path());
            ArticleStore& first = persistentContainer();
            const bool kept = &first == &persistentContainer();
            const bool placed = first.file() == folder.path() / "CDModel.sqlite" &&
                                std::filesystem::exists(first.file());
            std::_Exit(kept && placed ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(PersistentContainerDeathTest, aStoreThatCannotBeOpenedStopsTheProcessNamingTheFile) {
    TemporaryDirectory folder;
    const auto file = folder.write("CDModel.sqlite", std::string(8192, 'Z'));
    const std::string before = readBytes(file);
    EXPECT_EXIT(
        {
            setDataFolderOverride(folder.path());
            persistentContainer();
        },
        testing::ExitedWithCode(EXIT_FAILURE),
        "Unresolved error the article store cannot be opened, " + file.string() +
            ": .*not a database");
    EXPECT_EQ(readBytes(file), before);
}

// --- The view context ---------------------------------------------------------------------

TEST(ArticleStoreContext, fetchSeesPendingInsertsAndHidesPendingDeletions) {
    TemporaryStore store;
    store->insert(post("Saved old", day(5)));
    store->insert(post("Saved doomed", day(6)));
    ASSERT_TRUE(store->save().has_value());
    const auto saved = fetchAll(*store);

    store->insert(post("Pending", day(7)));
    store->deleteObject(saved[0]);  // "Saved doomed"
    EXPECT_TRUE(store->hasChanges());
    EXPECT_EQ(titles(fetchAll(*store)), (std::vector<std::string>{"Pending", "Saved old"}));
    EXPECT_EQ(titles(*store->fetch(ArticlePredicate::all(), 1)),
              (std::vector<std::string>{"Pending"}));
    ArticlePredicate otherFeed = ArticlePredicate::feed("https://b.example/feed");
    EXPECT_TRUE(fetchAll(*store, otherFeed).empty()) << "a pending insert ignored the predicate";

    ASSERT_TRUE(store->save().has_value());
    EXPECT_FALSE(store->hasChanges());
    store.reopen();
    EXPECT_EQ(titles(fetchAll(*store)), (std::vector<std::string>{"Pending", "Saved old"}));
}

TEST(ArticleStoreContext, newestFirstWithTiesByInsertionAndUndatedLast) {
    TemporaryStore store;
    BlogPost undated = post("Undated", day(1));
    undated.pubDate.reset();
    store->insert(undated);
    store->insert(post("Tie first", day(3)));
    store->insert(post("Older", day(2)));
    ASSERT_TRUE(store->save().has_value());
    store->insert(post("Tie pending", day(3)));

    EXPECT_EQ(titles(fetchAll(*store)),
              (std::vector<std::string>{"Tie pending", "Tie first", "Older", "Undated"}));
    EXPECT_EQ(titles(*store->fetch(ArticlePredicate::all(), 2)),
              (std::vector<std::string>{"Tie pending", "Tie first"}));
}

TEST(ArticleStoreContext, aFailedSaveKeepsItsChangesPendingForTheNextSave) {
    TemporaryStore store;
    store->insert(post("Kept", day(5)));
    store->insert(post("Doomed", day(6)));
    ASSERT_TRUE(store->save().has_value());
    const BlogPost doomed = fetchAll(*store)[0];
    ChangeRecorder recorder(*store);

    store->insert(post("New", day(7)));
    store->deleteObject(doomed);
    alterStoreFile(store.file(), test::kFailInserts);
    auto failed = store->save();
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().kind, StoreError::Kind::saveFailed);
    EXPECT_NE(failed.error().message.find(store.file().string()), std::string::npos)
        << failed.error().message;
    EXPECT_TRUE(store->hasChanges());
    EXPECT_TRUE(recorder.changes.empty());
    {
        // The deletion ran before the failing insert: the rollback must have undone it.
        auto other = ArticleStore::open(store.file());
        ASSERT_TRUE(other.has_value());
        EXPECT_EQ(titles(fetchAll(**other)), (std::vector<std::string>{"Doomed", "Kept"}));
    }

    alterStoreFile(store.file(), test::kHealFault);
    ASSERT_TRUE(store->save().has_value());
    EXPECT_FALSE(store->hasChanges());
    ASSERT_EQ(recorder.changes.size(), 1u);
    EXPECT_EQ(titles(recorder.changes[0].inserted), (std::vector<std::string>{"New"}));
    EXPECT_EQ(titles(recorder.changes[0].deleted), (std::vector<std::string>{"Doomed"}));
    store.reopen();
    EXPECT_EQ(titles(fetchAll(*store)), (std::vector<std::string>{"New", "Kept"}));
}

TEST(ArticleStoreContext, theSaveNotificationCarriesTheInsertedPostsWithTheirIds) {
    TemporaryStore store;
    store->insert(post("Old", day(5)));
    ASSERT_TRUE(store->save().has_value());
    const BlogPost old = fetchAll(*store)[0];
    ChangeRecorder recorder(*store);

    store->insert(post("First", day(6)));
    store->insert(post("Second", day(7)));
    store->deleteObject(old);
    ASSERT_TRUE(store->save().has_value());

    ASSERT_EQ(recorder.changes.size(), 1u);
    const ObjectsDidChange& change = recorder.changes[0];
    EXPECT_EQ(titles(change.inserted), (std::vector<std::string>{"First", "Second"}));
    EXPECT_EQ(change.deleted, std::vector<BlogPost>{old});
    // The ids are those the rows got: a fetch finds the same posts.
    auto stored = fetchAll(*store);
    std::reverse(stored.begin(), stored.end());
    EXPECT_EQ(change.inserted, stored);
}

TEST(ArticleStoreContext, aSaveFromASaveObserverFailsAndKeepsItsChanges) {
    TemporaryStore store;
    std::optional<std::expected<void, StoreError>> nested;
    auto observation = store->observeSaves([&](const ObjectsDidChange&) {
        if (nested) return;
        store->insert(post("From the observer", day(6)));
        nested = store->save();
    });
    store->insert(post("First", day(5)));
    ASSERT_TRUE(store->save().has_value());

    ASSERT_TRUE(nested.has_value());
    ASSERT_FALSE(nested->has_value());
    EXPECT_EQ(nested->error().kind, StoreError::Kind::saveFailed);
    EXPECT_TRUE(store->hasChanges());
    ASSERT_TRUE(store->save().has_value());
    store.reopen();
    EXPECT_EQ(fetchAll(*store).size(), 2u);
}

TEST(ArticleStoreContext, batchDeleteActsOnStoredRowsOnlyAndIsNotAnnounced) {
    TemporaryStore store;
    store->insert(post("A stored", day(5)));
    store->insert(post("B stored", day(5), "https://b.example/feed"));
    ASSERT_TRUE(store->save().has_value());
    ChangeRecorder recorder(*store);
    int observed = 0;
    auto observation = store->observeSaves([&](const ObjectsDidChange&) { ++observed; });

    store->insert(post("A pending", day(6)));
    auto deleted = store->batchDelete(ArticlePredicate::feed("https://a.example/feed"));
    ASSERT_TRUE(deleted.has_value());
    EXPECT_EQ(*deleted, 1);
    EXPECT_TRUE(recorder.changes.empty());
    EXPECT_EQ(observed, 0);
    EXPECT_EQ(titles(fetchAll(*store)), (std::vector<std::string>{"A pending", "B stored"}));

    alterStoreFile(store.file(), test::kFailDeletes);
    auto failed = store->batchDelete(ArticlePredicate::all());
    ASSERT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().kind, StoreError::Kind::deleteFailed);
    alterStoreFile(store.file(), test::kHealFault);
    ASSERT_TRUE(store->save().has_value());
    EXPECT_EQ(fetchAll(*store).size(), 2u);
}

// --- Search -------------------------------------------------------------------------------

struct SearchCase {
    const char* name;
    const char* title;
    const char* desc;
    const char* web;
    const char* needle;
    bool found;
};

void PrintTo(const SearchCase& c, std::ostream* out) { *out << c.name; }

class ArticleStoreSearch : public testing::TestWithParam<SearchCase> {};

// The store's SQL and the in-memory match (used for pending inserts and by the controller)
// must agree, or a list would show a row a fetch does not.
TEST_P(ArticleStoreSearch, matchesTheSameInTheFileAndInMemory) {
    const SearchCase& c = GetParam();
    TemporaryStore store;
    BlogPost candidate = post(c.title, day(7));
    candidate.desc = c.desc;
    candidate.web = c.web;
    store->insert(candidate);
    ASSERT_TRUE(store->save().has_value());

    const auto predicate = ArticlePredicate::searching(c.needle);
    EXPECT_EQ(fetchAll(*store, predicate).size(), c.found ? 1u : 0u) << "stored";
    EXPECT_EQ(ArticleStore::matches(predicate, candidate), c.found) << "in memory";
    store->insert(candidate);
    EXPECT_EQ(fetchAll(*store, predicate).size(), c.found ? 2u : 0u) << "pending";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ArticleStoreSearch,
    testing::Values(SearchCase{"upperCaseAccent",
                               "L'\xC3\xA9"
                               "cole",
                               "", "W",
                               "\xC3\x89"
                               "COLE",
                               true},
                    SearchCase{"accentsAreNotIgnored",
                               "L'\xC3\xA9"
                               "cole",
                               "", "W", "ecole", false},
                    SearchCase{"fullCaseFolding",
                               "Stra\xC3\x9F"
                               "e",
                               "", "W", "STRASSE", true},
                    SearchCase{"decomposedStored",
                               "E\xCC\x81"
                               "t\xC3\xA9",
                               "", "W", "\xC3\xA9t\xC3\xA9", true},
                    SearchCase{"cyrillic",
                               "\xD0\x9D\xD0\xBE\xD0\xB2\xD0\xBE\xD1\x81\xD1\x82\xD0\xB8", "", "W",
                               "\xD0\xBD\xD0\x9E\xD0\x92", true},
                    SearchCase{"inDescription", "T", "<b>Rust</b> 1.70", "W", "rust", true},
                    SearchCase{"inWeb", "T", "", "Hacker News", "hacker n", true},
                    SearchCase{"notAcrossFields", "Hacker", "", "News", "hackernews", false},
                    SearchCase{"emptyNeedleMatchesAll", "T", "", "W", "", true},
                    SearchCase{"absent", "Title", "Body", "Web", "zebra", false}),
    [](const testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pressling
