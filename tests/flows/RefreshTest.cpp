// The refresh: what each feed reports, the flags and articles it leaves, and that it always
// completes — with a stalled server, many runs at once, a concurrent writer, an exiting process.

#include "flows/Refresh.h"

#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace pressling {
namespace {

using namespace test;

// Only a guard against a hung run; a passing run takes a fraction of it.
constexpr std::chrono::seconds kHangGuard{60};

Reply feedReply(std::string_view title, int entries) {
    return Reply{200, rssDocument(title, entries), "application/rss+xml"};
}

// Filled from the run's threads; read on the main thread once the completion has set outcome.
struct RunRecord {
    std::mutex mutex;
    std::vector<std::size_t> successSizes;  // sorted once the run is done
    std::vector<RefreshError> failures;
    std::optional<RefreshOutcome> outcome;
    int completions = 0;
};

class RefreshTest : public FlowTest {
protected:
    std::shared_ptr<RunRecord> start(RefreshOptions options = {}, KeyValueStore* list = nullptr) {
        auto record = std::make_shared<RunRecord>();
        options.listStore = list ? list : &kv;
        options.articleStore = &*store;
        refreshFeeds(
            [record](FeedResult result) {
                std::lock_guard lock(record->mutex);
                if (result) record->successSizes.push_back(result->size());
                if (!result) record->failures.push_back(std::move(result.error()));
            },
            [record](const RefreshOutcome& outcome) {
                EXPECT_TRUE(mainQueue().isCurrent());
                record->outcome = outcome;
                ++record->completions;
            },
            std::move(options));
        return record;
    }
    void finish(RunRecord& record) {
        ASSERT_TRUE(loop.runUntil([&] { return record.outcome.has_value(); }, kHangGuard));
        EXPECT_EQ(record.completions, 1);
        std::sort(record.successSizes.begin(), record.successSizes.end());
    }
    std::shared_ptr<RunRecord> refresh(RefreshOptions options = {}) {
        auto record = start(std::move(options));
        finish(*record);
        return record;
    }

    LoopbackServer server;
};

TEST_F(RefreshTest, reportsEachFeedFlagsTheFailedOnesStoresTheRestAndSkipsWhatIsNoUrl) {
    SilentServer silent;
    server.serve("/a", feedReply("A", 2));
    server.serve("/b", feedReply("B", 3));
    server.serve("/missing", Reply{404, "gone", "text/plain"});
    server.serve("/broken", Reply{200, "<rss><channel><title>x</item></channel></rss>",
                                  "application/rss+xml"});
    // A failed in the previous run and works now; Missing worked before and fails now.
    const std::vector<Web> before{{"A", server.url("/a"), true},
                                  {"Missing", server.url("/missing"), false},
                                  {"Spaces", "not a url", std::nullopt},
                                  {"B", server.url("/b"), std::nullopt},
                                  {"Broken", server.url("/broken"), std::nullopt},
                                  {"Silent", silent.url("/feed"), false}};
    storeList(before);
    RefreshOptions options;
    options.download.connectTimeout = std::chrono::seconds(1);
    options.download.lowSpeedTime = std::chrono::seconds(1);
    options.download.totalTimeout = std::chrono::seconds(2);

    testing::internal::CaptureStderr();
    auto run = refresh(options);
    const std::string console = testing::internal::GetCapturedStderr();

    EXPECT_NE(console.find("Invalid url"), std::string::npos) << console;
    EXPECT_EQ(run->successSizes, (std::vector<std::size_t>{2, 3}));
    std::map<std::optional<DownloadError::Kind>, std::string> failures;
    for (const auto& failure : run->failures) failures[failure.downloadKind] = failure.message;
    EXPECT_EQ(failures.size(), 3u);
    EXPECT_TRUE(failures.contains(DownloadError::Kind::httpStatus));
    EXPECT_TRUE(failures.contains(DownloadError::Kind::timedOut));
    EXPECT_NE(failures[std::nullopt].find(server.url("/broken")), std::string::npos);
    ASSERT_TRUE(run->outcome->lastError);
    EXPECT_EQ(failures[run->outcome->lastError->downloadKind], run->outcome->lastError->message);
    EXPECT_EQ(run->outcome->count, 6u);
    EXPECT_FALSE(run->outcome->savesFailed());

    auto expected = before;
    for (std::size_t i : {0, 3}) expected[i].error = false;
    for (std::size_t i : {1, 4, 5}) expected[i].error = true;
    EXPECT_EQ(storedList(), expected);
    EXPECT_EQ(storedTitles(server.url("/a")), (std::vector<std::string>{"A 1", "A 2"}));
    EXPECT_EQ(storedTitles(server.url("/b")), (std::vector<std::string>{"B 1", "B 2", "B 3"}));
}

// Stored by another writer in a form this system would not write ("/" unescaped, white space):
// a rewrite shows as different bytes. Entries that cannot be saved change no flag either.
TEST_F(RefreshTest, tellsTheCompletionOfUnsavedEntriesAndWritesNothingWhenNoFlagChanges) {
    server.serve("/a", feedReply("A", 2));
    server.serve("/missing", Reply{404, "gone", "text/plain"});
    const std::string bytes = fmt::format(R"([ {{"title": "A", "url": "{}", "error": false}}, )"
                                          R"({{"title": "Missing", "url": "{}", "error": true}} ])",
                                          server.url("/a"), server.url("/missing"));
    ASSERT_TRUE(kv.setData(bytes, kStoredWebsKey));
    alterStoreFile(store.file(), kFailInserts);  // a full disk, as the store sees it

    auto run = refresh();

    EXPECT_EQ(run->successSizes, std::vector<std::size_t>{2}) << "the download did work";
    EXPECT_EQ(run->failures.size(), 1u);
    EXPECT_EQ(run->outcome->unsavedFeeds, 1u);
    ASSERT_TRUE(run->outcome->lastSaveError);
    EXPECT_EQ(run->outcome->lastSaveError->kind, StoreError::Kind::saveFailed);
    EXPECT_EQ(storedBytes(), bytes);
}

TEST_F(RefreshTest, aMissingListReportsOneEmptySuccessAndAnEmptyListNothing) {
    auto run = refresh();
    EXPECT_EQ(run->successSizes, std::vector<std::size_t>{0}) << "one empty success";
    ASSERT_TRUE(kv.setData("[]", kStoredWebsKey));
    for (const auto& outcome : {*run->outcome, *(run = refresh())->outcome}) {
        EXPECT_FALSE(outcome.lastError);
        EXPECT_EQ(outcome.count, 0u);
    }
    EXPECT_TRUE(run->successSizes.empty() && run->failures.empty());
    EXPECT_EQ(storedBytes(), "[]") << "the list was written";
}

// Runs started back to back each read, report and complete on their own. One that waited for
// its feeds on a thread of the global queue, while its feeds needed that queue too, would
// deadlock here: there are more runs than the queue has threads.
TEST_F(RefreshTest, completesEveryRunStartedAtOnceEachWithItsOwnCounts) {
    server.serve("/a", feedReply("A", 1));
    server.serve("/b", feedReply("B", 2));
    KeyValueStore other{store.folder() / "other.sqlite"};
    storeList({{"A", server.url("/a"), std::nullopt}});
    saveWebs({{"A", server.url("/a"), std::nullopt}, {"B", server.url("/b"), std::nullopt}}, other);
    const std::size_t runs = 2 * std::max(4u, 2 * std::thread::hardware_concurrency()) + 2;

    std::vector<std::shared_ptr<RunRecord>> records;
    for (std::size_t i = 0; i < runs; ++i) records.push_back(start({}, i % 2 ? &other : nullptr));
    for (std::size_t i = 0; i < runs; ++i) {
        finish(*records[i]);
        EXPECT_EQ(records[i]->outcome->count, i % 2 ? 2u : 1u);
        EXPECT_EQ(records[i]->successSizes,
                  (i % 2 ? std::vector<std::size_t>{1, 2} : std::vector<std::size_t>{1}));
    }
}

// A feed subscribed during a run used to vanish when the run wrote back the whole list it had
// read at the start. Gone is fetched while Held is still held: the feeds download side by side.
TEST_F(RefreshTest, keepsASubscriptionAddedAndDoesNotRestoreOneRemovedDuringTheRun) {
    std::promise<void> requested, goneRequested, release;
    auto released = release.get_future().share();
    server.handle("/held", [&, released](const httplib::Request&, httplib::Response& res) {
        requested.set_value();
        released.wait_for(kHangGuard);  // bounded so that a failing test cannot hang the server
        res.set_content(rssDocument("Held", 1), "application/rss+xml");
    });
    server.handle("/gone", [&](const httplib::Request&, httplib::Response& res) {
        goneRequested.set_value();
        res.status = 404;
    });
    storeList({{"Held", server.url("/held"), true}, {"Gone", server.url("/gone"), std::nullopt}});

    auto run = start();
    ASSERT_EQ(requested.get_future().wait_for(kHangGuard), std::future_status::ready);
    ASSERT_EQ(goneRequested.get_future().wait_for(kHangGuard), std::future_status::ready);
    const Web added{"Added", "https://added.example/feed", std::nullopt};
    ASSERT_TRUE(updateStoredWebs(
        [&](const std::vector<Web>& stored) {
            return std::optional(std::vector{stored[0], added});
        },
        kv));  // "Gone" removed, "Added" added
    release.set_value();
    finish(*run);

    EXPECT_EQ(run->failures.size(), 1u);
    EXPECT_EQ(storedList(), (std::vector<Web>{{"Held", server.url("/held"), false}, added}));
}

std::promise<void>* gExitStarted = nullptr;

// The child exits while its one feed is being downloaded: exit must wait for the run, which
// then writes the feed's flag, instead of ending the process under it.
TEST_F(RefreshTest, anExitWaitsForTheRunInFlight) {
    const auto exitDuringTheDownload = [this] {
        LoopbackServer held;
        std::promise<void> requested, exitStarted;
        gExitStarted = &exitStarted;
        auto started = exitStarted.get_future().share();
        held.handle("/", [&, started](const auto&, auto& res) {
            requested.set_value();
            started.wait_for(kHangGuard);
            res.set_content(rssDocument("Held", 1), "application/rss+xml");
        });
        storeList({{"Held", held.url("/"), true}});
        start();
        std::atexit([] { gExitStarted->set_value(); });  // runs before the refresh's own guard
        requested.get_future().wait_for(kHangGuard);
        std::exit(0);
    };
    EXPECT_EXIT(exitDuringTheDownload(), testing::ExitedWithCode(0), "");
    ASSERT_EQ(storedList().size(), 1u);
    EXPECT_EQ(storedList()[0].error, false);
}

}  // namespace
}  // namespace pressling
