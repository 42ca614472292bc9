// The refresh: what each feed reports, the error flags it leaves in the subscription list, what
// lands in the article store, and that it always completes — with a stalled server, with more
// runs at once than the global queue has threads, and while another writer edits the list. The
// last case reproduces a lost write: a feed subscribed during a run used to vanish when the run
// wrote back the whole list it had read at the start.

#include "flows/Refresh.h"

#include "platform/KeyValueStore.h"
#include "platform/RunLoop.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace pressling {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// Only a guard against a hung run; a passing run takes a fraction of it.
constexpr std::chrono::seconds kHangGuard{60};

// An RSS 2.0 document titled title with entries "<title> 1" ... "<title> n", newest first.
std::string rssDocument(std::string_view title, int entries) {
    std::string items;
    for (int i = 1; i <= entries; ++i) {
        items += fmt::format(
            "<item><title>{0} {1}</title><link>https://example.org/{0}/{1}</link>"
            "<description>Entry {1}</description>"
            "<pubDate>Tue, 03 Jun 2003 09:{2:02}:21 GMT</pubDate></item>",
            title, i, 59 - i);
    }
    return fmt::format(R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel>)"
                       "<title>{}</title><description>About it</description>{}</channel></rss>",
                       title, items);
}

test::Reply feedReply(std::string_view title, int entries) {
    return test::Reply{200, rssDocument(title, entries), "application/rss+xml"};
}

// What one run reported. Filled from the run's threads; read on the main thread once done is
// set, which happens on the main queue after completion.
struct RunRecord {
    std::mutex mutex;
    std::vector<FeedResult> reports;
    std::optional<RefreshError> lastError;
    std::size_t count = 0;
    int completions = 0;
    bool done = false;

    std::vector<std::size_t> successSizes() {
        std::vector<std::size_t> sizes;
        for (const auto& report : reports) {
            if (report) sizes.push_back(report->size());
        }
        std::sort(sizes.begin(), sizes.end());
        return sizes;
    }
    std::vector<RefreshError> failures() {
        std::vector<RefreshError> errors;
        for (const auto& report : reports) {
            if (!report) errors.push_back(report.error());
        }
        return errors;
    }
};

class RefreshTest : public ::testing::Test {
protected:
    RefreshTest() { installMainQueue(loop); }

    void storeList(const std::vector<Web>& webs) { saveWebs(webs, kv); }
    std::vector<Web> storedList() { return loadStoredWebs(kv); }
    std::optional<std::string> storedBytes() { return kv.dataForKey(kStoredWebsKey).value(); }

    std::shared_ptr<RunRecord> start(RefreshOptions options = {}, KeyValueStore* list = nullptr) {
        auto record = std::make_shared<RunRecord>();
        options.listStore = list ? list : &kv;
        options.articleStore = articles.get();
        refreshFeeds(
            [record](FeedResult result) {
                std::lock_guard lock(record->mutex);
                record->reports.push_back(std::move(result));
            },
            [record](std::optional<RefreshError> lastError, std::size_t count) {
                {
                    std::lock_guard lock(record->mutex);
                    record->lastError = std::move(lastError);
                    record->count = count;
                    ++record->completions;
                }
                mainQueue().async([record] { record->done = true; });
            },
            std::move(options));
        return record;
    }

    // Runs the main queue until the run's completion has come back to it. Every save of the
    // run was submitted before that, so it has run too.
    void finish(RunRecord& record) {
        ASSERT_TRUE(loop.runUntil([&] { return record.done; }, kHangGuard));
        EXPECT_EQ(record.completions, 1);
    }

    std::shared_ptr<RunRecord> refresh(RefreshOptions options = {}) {
        auto record = start(std::move(options));
        finish(*record);
        return record;
    }

    std::vector<std::string> storedTitles(const std::string& feedUrl) {
        ArticlePredicate predicate;
        predicate.blogLinkEquals = feedUrl;
        std::vector<std::string> titles;
        const auto posts = articles->fetch(predicate).value();
        for (const BlogPost& post : posts) {
            titles.push_back(post.title.value_or("<none>"));
        }
        std::sort(titles.begin(), titles.end());
        return titles;
    }

    test::TemporaryDirectory folder;
    KeyValueStore kv{folder.path() / "kvstore.sqlite"};
    std::unique_ptr<ArticleStore> articles = openArticleStore(folder.path() / "CDModel.sqlite");
    RunLoop loop;
    test::LoopbackServer server;

private:
    static std::unique_ptr<ArticleStore> openArticleStore(const std::filesystem::path& file) {
        auto store = ArticleStore::open(file);
        if (!store) throw std::runtime_error(store.error().message);
        return std::move(*store);
    }
};

// --- outcomes of each feed ---

TEST_F(RefreshTest, shouldReportEachFeedFlagTheFailedOnesAndStoreTheRest) {
    server.serve("/a", feedReply("A", 2));
    server.serve("/b", feedReply("B", 3));
    server.serve("/c", feedReply("C", 1));
    server.serve("/missing", test::Reply{404, "gone", "text/plain"});
    server.serve("/broken", test::Reply{200,
                                        "<rss><channel><title>Broken</title><item><title>x"
                                        "</item></channel></rss>",
                                        "application/rss+xml"});
    // A failed in the previous run and works now; Missing worked before and fails now.
    storeList({{"A", server.url("/a"), true},
               {"Missing", server.url("/missing"), false},
               {"B", server.url("/b"), std::nullopt},
               {"Broken", server.url("/broken"), std::nullopt},
               {"C", server.url("/c"), false}});

    auto run = refresh();

    EXPECT_EQ(run->successSizes(), (std::vector<std::size_t>{1, 2, 3}));
    const auto failures = run->failures();
    ASSERT_EQ(failures.size(), 2u);
    const auto download = std::find_if(failures.begin(), failures.end(),
                                       [](const RefreshError& e) { return e.isDownload(); });
    const auto parse = std::find_if(failures.begin(), failures.end(),
                                    [](const RefreshError& e) { return e.isParse(); });
    ASSERT_NE(download, failures.end());
    ASSERT_NE(parse, failures.end());
    EXPECT_EQ(download->downloadKind, DownloadError::Kind::httpStatus);
    EXPECT_NE(parse->message.find(server.url("/broken")), std::string::npos) << parse->message;

    ASSERT_TRUE(run->lastError);
    EXPECT_TRUE(run->lastError->message == download->message ||
                run->lastError->message == parse->message)
        << run->lastError->message;
    EXPECT_EQ(run->count, 5u);

    EXPECT_EQ(storedList(), (std::vector<Web>{{"A", server.url("/a"), false},
                                              {"Missing", server.url("/missing"), true},
                                              {"B", server.url("/b"), false},
                                              {"Broken", server.url("/broken"), true},
                                              {"C", server.url("/c"), false}}));

    EXPECT_EQ(storedTitles(server.url("/a")), (std::vector<std::string>{"A 1", "A 2"}));
    EXPECT_EQ(storedTitles(server.url("/b")), (std::vector<std::string>{"B 1", "B 2", "B 3"}));
    EXPECT_EQ(storedTitles(server.url("/c")), (std::vector<std::string>{"C 1"}));
    EXPECT_TRUE(storedTitles(server.url("/broken")).empty());
}

TEST_F(RefreshTest, shouldCutOffAStalledServerAtTheDownloadLimitsAndReportIt) {
    test::SilentServer silent;
    server.serve("/a", feedReply("A", 1));
    storeList({{"Silent", silent.url("/feed"), false}, {"A", server.url("/a"), std::nullopt}});
    RefreshOptions options;
    options.download.connectTimeout = std::chrono::seconds(1);
    options.download.lowSpeedTime = std::chrono::seconds(1);
    options.download.totalTimeout = std::chrono::seconds(2);

    auto run = refresh(options);

    const auto failures = run->failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].downloadKind, DownloadError::Kind::timedOut);
    EXPECT_EQ(run->successSizes(), std::vector<std::size_t>{1});
    EXPECT_EQ(storedList(), (std::vector<Web>{{"Silent", silent.url("/feed"), true},
                                              {"A", server.url("/a"), false}}));
}

TEST_F(RefreshTest, shouldSkipAnAddressThatIsNotAUrlWithoutReportOrFlag) {
    for (const char* path : {"/1", "/2", "/3", "/4"}) server.serve(path, feedReply(path + 1, 1));
    storeList({{"1", server.url("/1"), std::nullopt},
               {"2", server.url("/2"), std::nullopt},
               {"Spaces", "not a url", std::nullopt},
               {"3", server.url("/3"), std::nullopt},
               {"4", server.url("/4"), std::nullopt}});

    CaptureStderr();
    auto run = refresh();
    const std::string console = GetCapturedStderr();

    EXPECT_EQ(run->reports.size(), 4u);
    EXPECT_EQ(run->count, 5u);
    EXPECT_FALSE(run->lastError);
    EXPECT_NE(console.find("Invalid url"), std::string::npos) << console;
    const auto after = storedList();
    ASSERT_EQ(after.size(), 5u);
    EXPECT_EQ(after[2], (Web{"Spaces", "not a url", std::nullopt}));
    EXPECT_EQ(after[4].error, false);
}

// --- lists without feeds ---

TEST_F(RefreshTest, shouldReportOneEmptySuccessWhenThereIsNoList) {
    auto run = refresh();

    ASSERT_EQ(run->reports.size(), 1u);
    ASSERT_TRUE(run->reports[0]);
    EXPECT_TRUE(run->reports[0]->empty());
    EXPECT_FALSE(run->lastError);
    EXPECT_EQ(run->count, 0u);
    EXPECT_EQ(storedBytes(), std::nullopt);
}

TEST_F(RefreshTest, shouldReportNothingForAnEmptyList) {
    ASSERT_TRUE(kv.setData("[]", kStoredWebsKey));

    auto run = refresh();

    EXPECT_TRUE(run->reports.empty());
    EXPECT_FALSE(run->lastError);
    EXPECT_EQ(run->count, 0u);
    EXPECT_EQ(storedBytes(), "[]");
}

// --- runs side by side ---

// Runs started back to back each read, report and complete on their own. One that waited for
// its feeds on a thread of the global queue, while its feeds needed that queue too, would
// deadlock here: there are more runs than the queue has threads.
TEST_F(RefreshTest, shouldCompleteEveryRunStartedAtOnceEachWithItsOwnCounts) {
    server.serve("/a", feedReply("A", 1));
    server.serve("/b", feedReply("B", 2));
    KeyValueStore other{folder.path() / "other.sqlite"};
    storeList({{"A", server.url("/a"), std::nullopt}});
    saveWebs({{"A", server.url("/a"), std::nullopt}, {"B", server.url("/b"), std::nullopt}}, other);
    const std::size_t runs = 2 * std::max(4u, 2 * std::thread::hardware_concurrency()) + 2;

    std::vector<std::shared_ptr<RunRecord>> records;
    for (std::size_t i = 0; i < runs; ++i) records.push_back(start({}, i % 2 ? &other : nullptr));
    for (std::size_t i = 0; i < runs; ++i) {
        finish(*records[i]);
        EXPECT_EQ(records[i]->count, i % 2 ? 2u : 1u);
        EXPECT_EQ(records[i]->successSizes(),
                  (i % 2 ? std::vector<std::size_t>{1, 2} : std::vector<std::size_t>{1}));
    }
}

// --- the write-back ---

TEST_F(RefreshTest, shouldKeepASubscriptionAddedAndNotRestoreOneRemovedDuringTheRun) {
    std::promise<void> requested;
    std::promise<void> release;
    auto released = release.get_future().share();
    const std::string held = rssDocument("Held", 1);
    server.handle("/held", [&, released, held](const httplib::Request&, httplib::Response& res) {
        requested.set_value();
        // Bounded so that a failing test cannot hang the server's shutdown.
        released.wait_for(kHangGuard);
        res.set_content(held, "application/rss+xml");
    });
    server.serve("/gone", test::Reply{404, "gone", "text/plain"});
    storeList({{"Held", server.url("/held"), true}, {"Gone", server.url("/gone"), std::nullopt}});

    auto run = start();
    ASSERT_EQ(requested.get_future().wait_for(kHangGuard), std::future_status::ready);
    const Web added{"Added", "https://added.example/feed", std::nullopt};
    ASSERT_TRUE(updateStoredWebs(
        [&](const std::vector<Web>& stored) {
            std::vector<Web> next;
            std::copy_if(stored.begin(), stored.end(), std::back_inserter(next),
                         [](const Web& web) { return web.title != "Gone"; });
            next.push_back(added);
            return std::optional(next);
        },
        kv));
    release.set_value();
    finish(*run);

    EXPECT_EQ(run->count, 2u);
    EXPECT_EQ(run->failures().size(), 1u);
    EXPECT_EQ(storedList(), (std::vector<Web>{{"Held", server.url("/held"), false}, added}));
}

TEST_F(RefreshTest, shouldWriteNothingWhenNoFlagChanges) {
    server.serve("/a", feedReply("A", 1));
    server.serve("/missing", test::Reply{404, "gone", "text/plain"});
    // Stored by another writer in a form this system would not write ("/" unescaped, white
    // space): a rewrite would show as different bytes.
    const std::string bytes = fmt::format(R"([ {{"title": "A", "url": "{}", "error": false}}, )"
                                          R"({{"title": "Missing", "url": "{}", "error": true}} ])",
                                          server.url("/a"), server.url("/missing"));
    ASSERT_TRUE(kv.setData(bytes, kStoredWebsKey));

    auto run = refresh();

    EXPECT_EQ(run->reports.size(), 2u);
    EXPECT_EQ(storedBytes(), bytes);
}

}  // namespace
}  // namespace pressling
