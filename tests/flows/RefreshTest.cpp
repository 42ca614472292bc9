// The refresh: what each feed reports, the flags and articles it leaves, and that it always
// completes — with a stalled server, many runs at once, a concurrent writer, an exiting process;
// how it asks conditionally, pauses for a busy server, holds back and shares its runs.

#include "flows/Refresh.h"

#include "flows/FeedValidators.h"
#include "flows/RemoveFeed.h"

#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <ctime>
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
// then writes the feed's flag, instead of ending the process under it. The child is a fresh
// process running this test again ("threadsafe" style): a forked copy of this one could
// inherit a lock some other thread held at the fork, and hang. It finds the parent's list
// through the environment.
TEST_F(RefreshTest, anExitWaitsForTheRunInFlight) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr char kParentList[] = "PRESSLING_TEST_PARENT_LIST";
    if (!std::getenv(kParentList)) ::setenv(kParentList, kv.file().c_str(), 1);
    const std::filesystem::path listFile = std::getenv(kParentList);
    const auto exitDuringTheDownload = [&] {
        KeyValueStore list{listFile};
        LoopbackServer held;
        std::promise<void> requested, exitStarted;
        gExitStarted = &exitStarted;
        auto started = exitStarted.get_future().share();
        held.handle("/", [&, started](const auto&, auto& res) {
            requested.set_value();
            started.wait_for(kHangGuard);
            res.set_content(rssDocument("Held", 1), "application/rss+xml");
        });
        saveWebs({{"Held", held.url("/"), true}}, list);
        start({}, &list);
        std::atexit([] { gExitStarted->set_value(); });  // runs before the refresh's own guard
        requested.get_future().wait_for(kHangGuard);
        std::exit(0);
    };
    EXPECT_EXIT(exitDuringTheDownload(), testing::ExitedWithCode(0), "");
    ::unsetenv(kParentList);
    ASSERT_EQ(storedList().size(), 1u);
    EXPECT_EQ(storedList()[0].error, false);
}

// A feed that answers conditional requests: version n has n entries and validators "vn".
struct VersionedFeed {
    std::mutex mutex;
    int version = 1;
    std::vector<std::pair<std::string, std::string>> conditions;  // If-None-Match, -Since

    void serveOn(LoopbackServer& server) {
        server.handle("/v", [this](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            conditions.emplace_back(request.get_header_value("If-None-Match"),
                                    request.get_header_value("If-Modified-Since"));
            const std::string etag = fmt::format("\"v{}\"", version);
            const std::string modified = fmt::format("Mon, 0{} Jun 2026 10:00:00 GMT", version);
            response.set_header("ETag", etag);
            response.set_header("Last-Modified", modified);
            if (request.get_header_value("If-None-Match") == etag) {
                response.status = 304;
                return;
            }
            response.set_content(rssDocument("V", version), "application/rss+xml");
        });
    }
};

TEST_F(RefreshTest, asksConditionallyStoresNothingOnNotModifiedAndForgetsTheValidatorsOnRemoval) {
    VersionedFeed feed;
    feed.serveOn(server);
    const std::string url = server.url("/v");
    const auto etagSent = [&] {
        std::lock_guard lock(feed.mutex);
        return feed.conditions.back();
    };

    storeList({{"V", url, std::nullopt}});
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{1});
    EXPECT_EQ(etagSent(), std::make_pair(std::string(), std::string()));

    storeList({{"V", url, true}});
    ChangeRecorder recorder(*store);
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{0}) << "a 304 is an empty success";
    EXPECT_EQ(etagSent(),
              std::make_pair(std::string("\"v1\""), std::string("Mon, 01 Jun 2026 10:00:00 GMT")));
    EXPECT_TRUE(recorder.changes.empty()) << "a 304 wrote to the store";
    EXPECT_EQ(storedList()[0].error, false) << "the error flag did not clear";

    {
        std::lock_guard lock(feed.mutex);
        feed.version = 2;
    }
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{2});
    EXPECT_EQ(storedTitles(url), (std::vector<std::string>{"V 1", "V 2"}));
    refresh();
    EXPECT_EQ(etagSent().first, "\"v2\"");

    ASSERT_TRUE(removeWeb(0, kv, *store));
    EXPECT_TRUE(FeedValidators::open(kv)->load()->empty());
    storeList({{"V", url, std::nullopt}});
    EXPECT_EQ(refresh()->successSizes, std::vector<std::size_t>{2}) << "subscribed again: in full";
}

std::string httpDateIn(std::chrono::seconds seconds) {
    const std::time_t when =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() + seconds);
    std::tm utc{};
    gmtime_r(&when, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

TEST_F(RefreshTest, aBusyServersRetryAfterSkipsItsFeedUntilThenReportingItFailed) {
    const struct {
        int status;
        std::string retryAfter;
    } rows[] = {{429, "120"}, {503, httpDateIn(std::chrono::hours(1))}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status);
        const std::string path = fmt::format("/busy{}", row.status);
        server.serve(path,
                     Reply{row.status, "busy", "text/plain", {{"Retry-After", row.retryAfter}}});
        server.serve("/a", feedReply("A", 1));
        storeList({{"Busy", server.url(path), false}, {"A", server.url("/a"), std::nullopt}});
        for (const char* reason : {"HTTP", "asked not to be asked again before"}) {
            auto run = refresh();
            ASSERT_EQ(run->failures.size(), 1u);
            EXPECT_NE(run->failures[0].message.find(reason), std::string::npos)
                << run->failures[0].message;
            EXPECT_EQ(run->successSizes, std::vector<std::size_t>{1});
            EXPECT_EQ(storedList()[0].error, true);
        }
        EXPECT_EQ(server.requestCount(path), 1u);
    }
}

// With the main queue stalled, two feeds wait for their save and two parsed ones wait to be
// queued: nothing more is downloaded until the saves run.
TEST_F(RefreshTest, aStalledMainQueueHoldsBackTheDownloads) {
    constexpr int kFeeds = 10;
    std::mutex mutex;
    std::condition_variable requested;
    int requests = 0;
    std::vector<Web> webs;
    for (int i = 0; i < kFeeds; ++i) {
        const std::string path = fmt::format("/f{}", i);
        server.handle(path, [&, i](const httplib::Request&, httplib::Response& response) {
            response.set_content(rssDocument(fmt::format("F{}", i), 1), "application/rss+xml");
            std::lock_guard lock(mutex);
            ++requests;
            requested.notify_all();
        });
        webs.push_back({fmt::format("F{}", i), server.url(path), std::nullopt});
    }
    storeList(webs);
    RefreshOptions options;
    options.parallelFeeds = 2;
    options.waitingSaves = 2;
    auto run = start(options);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(requested.wait_for(lock, kHangGuard, [&] { return requests == 4; }));
        // Waiting for something that must not happen: the time only bounds the test.
        EXPECT_FALSE(
            requested.wait_for(lock, std::chrono::milliseconds(300), [&] { return requests > 4; }));
    }
    finish(*run);
    EXPECT_EQ(run->successSizes, std::vector<std::size_t>(kFeeds, 1));
}

// Requests during a run share the one run after it; each requester hears all of it.
TEST_F(RefreshTest, requestsDuringARunShareTheOneRunAfterIt) {
    std::promise<void> requested, release;
    auto released = release.get_future().share();
    server.handle("/held", [&, released](const httplib::Request&, httplib::Response& res) {
        if (server.requestCount("/held") == 1) {
            requested.set_value();
            released.wait_for(kHangGuard);
        }
        res.set_content(rssDocument("Held", 1), "application/rss+xml");
    });
    storeList({{"Held", server.url("/held"), std::nullopt}});
    auto first = start();
    ASSERT_EQ(requested.get_future().wait_for(kHangGuard), std::future_status::ready);
    auto second = start();
    auto third = start();
    release.set_value();
    for (auto* run : {&first, &second, &third}) {
        finish(**run);
        EXPECT_EQ((*run)->successSizes, std::vector<std::size_t>{1});
        EXPECT_EQ((*run)->outcome->count, 1u);
    }
    EXPECT_EQ(server.requestCount("/held"), 2u);
}

}  // namespace
}  // namespace pressling
