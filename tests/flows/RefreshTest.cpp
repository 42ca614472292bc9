// The refresh: what each feed reports and leaves stored, and that every run completes.

#include "flows/Refresh.h"

#include "flows/FeedValidators.h"
#include "flows/RemoveFeed.h"

#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <future>
#include <map>

namespace pressling {
namespace {

using namespace test;
using namespace std::chrono_literals;

constexpr std::chrono::seconds kHangGuard{60};  // only against a hung run

Reply feedReply(std::string_view title, int entries) {
    return Reply{200, rssDocument(title, entries), "application/rss+xml"};
}

// A feed at /held whose first request is answered once release is set.
struct HeldFeed {
    explicit HeldFeed(LoopbackServer& server) {
        server.handle("/held", [this, &server](const auto&, httplib::Response& response) {
            // Bounded: a failing test cannot hang the server.
            if (server.requestCount("/held") == 1) released.wait_for(kHangGuard);
            response.set_content(rssDocument("Held", 1), "application/rss+xml");
        });
    }

    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

// Filled from the run's threads; read once the completion has set outcome.
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
    testing::internal::CaptureStderr();
    auto run =
        refresh({.download = {.connectTimeout = 1s, .lowSpeedTime = 1s, .totalTimeout = 2s}});
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

// Stored in a form this system would not write, so a rewrite shows; unsaved entries flag nothing
// and keep no validators, so that the next run downloads them in full.
TEST_F(RefreshTest, tellsTheCompletionOfUnsavedEntriesAndWritesNothingWhenNoFlagChanges) {
    server.serve("/a", Reply{200, rssDocument("A", 2), "application/rss+xml", {{"ETag", "\"1\""}}});
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
    EXPECT_TRUE(FeedValidators::open(kv)->load()->empty());
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

// More runs than the global queue has threads: one that waited there for its feeds would deadlock.
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
        EXPECT_EQ(records[i]->successSizes,
                  (i % 2 ? std::vector<std::size_t>{1, 2} : std::vector<std::size_t>{1}));
        EXPECT_EQ(records[i]->outcome->count, records[i]->successSizes.size());
    }
}

// The flags go onto the list as stored at the run's end, not as read at its start; runs asked
// for meanwhile share one run after it, each told all of it. Gone is fetched while Held is held.
TEST_F(RefreshTest, keepsTheChangesToTheListDuringARunAndSharesOneRunAfterIt) {
    HeldFeed held(server);
    server.serve("/gone", Reply{404, "gone", "text/plain"});
    server.serve("/added", feedReply("Added", 2));
    storeList({{"Held", server.url("/held"), true}, {"Gone", server.url("/gone"), std::nullopt}});

    auto first = start();
    ASSERT_TRUE(server.awaitRequests(2, kHangGuard));
    const Web added{"Added", server.url("/added"), std::nullopt};
    const auto removeGoneAddAdded = [&](const std::vector<Web>& stored) {
        return std::optional(std::vector{stored[0], added});
    };
    ASSERT_TRUE(updateStoredWebs(removeGoneAddAdded, kv));
    auto second = start(), third = start();
    held.release.set_value();
    finish(*first);
    EXPECT_EQ(first->failures.size(), 1u);
    for (auto* run : {&second, &third}) {
        finish(**run);
        EXPECT_EQ((*run)->successSizes, (std::vector<std::size_t>{1, 2}));
        EXPECT_EQ((*run)->outcome->count, 2u);
    }
    EXPECT_EQ(server.requestCount("/held"), 2u);
    EXPECT_EQ(storedList(), (std::vector<Web>{{"Held", server.url("/held"), false},
                                              {"Added", server.url("/added"), false}}));
}

HeldFeed* gHeldInTheChild = nullptr;

// The child exits mid-download: exit waits for the run, which writes the flag. The child is a
// fresh process ("threadsafe": a fork could inherit a held lock) told the list in the environment.
TEST_F(RefreshTest, anExitWaitsForTheRunInFlight) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr char kParentList[] = "PRESSLING_TEST_PARENT_LIST";
    if (!std::getenv(kParentList)) ::setenv(kParentList, kv.file().c_str(), 1);
    const std::filesystem::path listFile = std::getenv(kParentList);
    const auto exitDuringTheDownload = [&] {
        KeyValueStore list{listFile};
        LoopbackServer server;
        HeldFeed held(server);
        gHeldInTheChild = &held;
        saveWebs({{"Held", server.url("/held"), true}}, list);
        start({}, &list);
        // Runs before the refresh's own guard.
        std::atexit([] { gHeldInTheChild->release.set_value(); });
        server.awaitRequests(1, kHangGuard);
        std::exit(0);
    };
    EXPECT_EXIT(exitDuringTheDownload(), testing::ExitedWithCode(0), "");
    ::unsetenv(kParentList);
    ASSERT_EQ(storedList().size(), 1u);
    EXPECT_EQ(storedList()[0].error, false);
}

TEST_F(RefreshTest, asksConditionallyStoresNothingOnNotModifiedAndForgetsTheValidatorsOnRemoval) {
    // Version n of the feed has n entries and the validators "vn"; it answers conditionally.
    std::atomic<int> version = 1;
    server.handle("/v", [&version](const httplib::Request& request, httplib::Response& response) {
        const std::string etag = fmt::format("\"v{}\"", version.load());
        response.set_header("ETag", etag);
        response.set_header("Last-Modified",
                            fmt::format("Mon, 0{} Jun 2026 10:00:00 GMT", version.load()));
        if (request.get_header_value("If-None-Match") == etag)
            response.status = 304;
        else
            response.set_content(rssDocument("V", version), "application/rss+xml");
    });
    const std::string url = server.url("/v");
    const auto validatorsSent = [&] {
        const auto sent = server.requests().back();
        return sent.header("If-None-Match") + " | " + sent.header("If-Modified-Since");
    };

    storeList({{"V", url, std::nullopt}});
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{1});
    EXPECT_EQ(validatorsSent(), " | ");

    storeList({{"V", url, true}});
    ChangeRecorder recorder(*store);
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{0}) << "a 304 is an empty success";
    EXPECT_EQ(validatorsSent(), "\"v1\" | Mon, 01 Jun 2026 10:00:00 GMT");
    EXPECT_TRUE(recorder.changes.empty()) << "a 304 wrote to the store";
    EXPECT_EQ(storedList()[0].error, false) << "the error flag did not clear";

    version = 2;
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{2});
    EXPECT_EQ(storedTitles(url), (std::vector<std::string>{"V 1", "V 2"}));
    refresh();
    EXPECT_EQ(validatorsSent(), "\"v2\" | Mon, 02 Jun 2026 10:00:00 GMT");

    ASSERT_TRUE(removeWeb(0, kv, *store));
    EXPECT_TRUE(FeedValidators::open(kv)->load()->empty());
    storeList({{"V", url, std::nullopt}});
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{2}) << "subscribed again: in full";
}

// Both forms of Retry-After arrive as a pause from the download loop: one form stands for both.
TEST_F(RefreshTest, aBusyServersRetryAfterSkipsItsFeedUntilThenReportingItFailed) {
    server.serve("/busy", Reply{429, "busy", "text/plain", {{"Retry-After", "120"}}});
    server.serve("/a", feedReply("A", 1));
    storeList({{"Busy", server.url("/busy"), false}, {"A", server.url("/a"), std::nullopt}});
    for (const char* reason : {"HTTP", "asked not to be asked again before"}) {
        auto run = refresh();
        ASSERT_EQ(run->failures.size(), 1u);
        EXPECT_NE(run->failures[0].message.find(reason), std::string::npos) << reason;
        EXPECT_EQ(run->successSizes, std::vector<std::size_t>{1});
        EXPECT_EQ(storedList()[0].error, true);
    }
    EXPECT_EQ(server.requestCount("/busy"), 1u);
}

// Main queue stalled: two feeds wait to save, two parsed wait to queue, and nothing more is
// fetched. The waiting feeds are stored in one save, which makes room for as many again.
TEST_F(RefreshTest, aStalledMainQueueHoldsBackTheDownloads) {
    constexpr int kFeeds = 10;
    std::vector<Web> webs;
    for (int i = 0; i < kFeeds; ++i) {
        const std::string path = fmt::format("/f{}", i);
        server.serve(path, feedReply(fmt::format("F{}", i), 1));
        webs.push_back({fmt::format("F{}", i), server.url(path), std::nullopt});
    }
    storeList(webs);
    auto run = start({.parallelFeeds = 2, .waitingSaves = 2});
    const auto fetchedStays = [&](std::size_t count) {
        ASSERT_TRUE(server.awaitRequests(count, kHangGuard));
        // Waits for what must not happen: the time only bounds the test.
        EXPECT_FALSE(server.awaitRequests(count + 1, 300ms));
    };
    fetchedStays(4);
    ChangeRecorder saves(*store);
    loop.processPending();
    ASSERT_EQ(saves.changes.size(), 1u);
    EXPECT_EQ(saves.changes[0].inserted.size(), 2u);
    fetchedStays(6);
    finish(*run);
    EXPECT_EQ(run->successSizes, std::vector<std::size_t>(kFeeds, 1));
}

}  // namespace
}  // namespace pressling
