// Adding a feed: which candidates pass the check, what reaches the catalog and the list, when
// "willUpdateWeb" is posted, and how a title already subscribed is recognised.

#include "flows/AddFeed.h"

#include "platform/DataFolder.h"
#include "platform/KeyValueStore.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "subscriptions/CKFeed.h"
#include "subscriptions/CatalogDatabase.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace pressling {
namespace {

// Only a guard against a lost callback; a passing test takes a fraction of it.
constexpr std::chrono::seconds kHangGuard{30};

// The process's catalog and data folder are chosen once per process: point both at a throwaway
// folder before any test of this executable runs.
class ThrowawayDataEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        folder_ = std::make_unique<test::TemporaryDirectory>();
        setDataFolderOverride(folder_->path());
        ::setenv("PRESSLING_CATALOG",
                 ("sqlite:" + (folder_->path() / "catalog.sqlite").string()).c_str(), 1);
    }
    void TearDown() override { folder_.reset(); }

private:
    std::unique_ptr<test::TemporaryDirectory> folder_;
};
[[maybe_unused]] auto* const gThrowawayData =
    ::testing::AddGlobalTestEnvironment(new ThrowawayDataEnvironment);

// An RSS 2.0 document with one entry dated dateText. The entry has neither title nor
// description, which the feed would otherwise take as its own when it lacks them.
std::string feedDocument(std::optional<std::string_view> title,
                         std::optional<std::string_view> description,
                         std::string_view dateText = "Tue, 03 Jun 2003 09:39:21 GMT") {
    return fmt::format(
        R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel>{}{})"
        "<item><link>https://example.org/first</link><pubDate>{}</pubDate></item>"
        "</channel></rss>",
        title ? fmt::format("<title>{}</title>", *title) : "",
        description ? fmt::format("<description>{}</description>", *description) : "", dateText);
}

test::Reply feedReply(std::string document) {
    return test::Reply{200, std::move(document), "application/rss+xml"};
}

class AddFeedTest : public ::testing::Test {
protected:
    AddFeedTest() { installMainQueue(loop); }

    Url url(std::string_view path) const { return Url::parse(server.url(path)).value(); }
    void storeList(const std::vector<Web>& webs) { saveWebs(webs, kv); }
    std::vector<Web> storedList() { return loadStoredWebs(kv); }
    std::optional<std::string> storedBytes() { return kv.dataForKey(kStoredWebsKey).value(); }

    // The catalog's record for address. addRSS saves in the background: with waitForSave, wait
    // for the record to land; without, wait until every save submitted so far was taken up (a
    // save of our own, submitted last, has come back), then look once.
    std::optional<RSSData> catalogEntry(const std::string& address, bool waitForSave) {
        if (!waitForSave) {
            bool settled = false;
            CKFeed::save(RSSData{"Marker", "", Url::parse("https://marker.example/").value()},
                         [&](auto) { settled = true; });
            EXPECT_TRUE(loop.runUntil([&] { return settled; }, kHangGuard));
        }
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        for (;;) {
            const auto records = catalogDatabase().search(address).value();
            for (const auto& record : records) {
                if (record.url == address) return CKFeed::makeRSSData(record);
            }
            if (!waitForSave || std::chrono::steady_clock::now() > deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    test::TemporaryDirectory folder;
    KeyValueStore kv{folder.path() / "kvstore.sqlite"};
    RunLoop loop;
    test::LoopbackServer server;
    int announcements = 0;
    NotificationCenter::Observer observer = NotificationCenter::defaultCenter().addObserver(
        std::string(kWillUpdateWebNotification), std::nullopt,
        NotificationCenter::Delivery::postingThread,
        [this](const Notification&) { ++announcements; });
};

// --- a feed that passes ---

TEST_F(AddFeedTest, shouldAppendAPassingFeedAnnounceItAndSaveItToTheCatalog) {
    server.serve("/passes", feedReply(feedDocument("Passing News", "All the news")));
    storeList({{"Zebra", "https://zebra.example/feed", true}});

    ASSERT_TRUE(addRSS(url("/passes"), kv));

    EXPECT_EQ(storedList(), (std::vector<Web>{{"Zebra", "https://zebra.example/feed", true},
                                              {"Passing News", server.url("/passes"), {}}}));
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(catalogEntry(server.url("/passes"), true),
              (RSSData{"Passing News", "All the news", url("/passes")}));
}

TEST_F(AddFeedTest, shouldSaveAFeedWithoutDescriptionWithAnEmptyAbout) {
    server.serve("/undescribed", feedReply(feedDocument("Undescribed", std::nullopt)));

    ASSERT_TRUE(addRSS(url("/undescribed"), kv));

    EXPECT_EQ(catalogEntry(server.url("/undescribed"), true),
              (RSSData{"Undescribed", "", url("/undescribed")}));
}

// --- candidates that fail ---

struct Candidate {
    const char* name;
    test::Reply reply;
};
void PrintTo(const Candidate& c, std::ostream* out) { *out << c.name; }

class AddFeedRejects : public AddFeedTest, public ::testing::WithParamInterface<Candidate> {};

TEST_P(AddFeedRejects, shouldReturnNotFoundAndChangeNothing) {
    const std::string path = fmt::format("/rejected-{}", GetParam().name);
    server.serve(path, GetParam().reply);
    storeList({{"Kept", "https://kept.example/feed", std::nullopt}});
    const auto before = storedBytes();

    auto added = addRSS(url(path), kv);

    ASSERT_FALSE(added);
    EXPECT_TRUE(added.error().isNotFound()) << added.error().message;
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(announcements, 0);
    EXPECT_FALSE(catalogEntry(server.url(path), false));
}

INSTANTIATE_TEST_SUITE_P(
    NotUsableFeeds, AddFeedRejects,
    ::testing::Values(
        Candidate{"htmlPage",
                  {200,
                   "<!DOCTYPE html><html><head><title>Shop</title></head><body><p>Buy</p>"
                   "</body></html>",
                   "text/html"}},
        Candidate{"unreadableFirstDate",
                  feedReply(feedDocument("Odd dates", "x", "the third of June"))},
        Candidate{"untitledFeed", feedReply(feedDocument(std::nullopt, "x"))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddFeedTest, shouldReturnTheDownloadErrorWhenTheCandidateCannotBeFetched) {
    server.serve("/missing", test::Reply{404, "gone", "text/plain"});
    const auto before = storedBytes();

    auto added = addRSS(url("/missing"), kv);

    ASSERT_FALSE(added);
    ASSERT_NE(added.error().downloadError(), nullptr);
    EXPECT_EQ(added.error().downloadError()->httpStatus, 404);
    EXPECT_EQ(storedBytes(), before);
    EXPECT_EQ(announcements, 0);
    EXPECT_FALSE(catalogEntry(server.url("/missing"), false));
}

// --- titles already subscribed ---

struct TitlePair {
    const char* name;
    const char* stored;
    const char* fetched;
    bool appended;
};
void PrintTo(const TitlePair& c, std::ostream* out) { *out << c.name; }

class AddFeedTitles : public AddFeedTest, public ::testing::WithParamInterface<TitlePair> {};

TEST_P(AddFeedTitles, shouldAppendOnlyATitleNotYetSubscribed) {
    const auto& pair = GetParam();
    const std::string path = fmt::format("/titles-{}", pair.name);
    server.serve(path, feedReply(feedDocument(pair.fetched, "x")));
    const Web existing{pair.stored, "https://elsewhere.example/feed", false};
    storeList({existing});
    const auto before = storedBytes();

    ASSERT_TRUE(addRSS(url(path), kv));

    if (pair.appended) {
        EXPECT_EQ(storedList(), (std::vector<Web>{existing, {pair.fetched, server.url(path), {}}}));
        EXPECT_EQ(announcements, 1);
    } else {
        EXPECT_EQ(storedBytes(), before);
        EXPECT_EQ(announcements, 0);
    }
    // Saved to the catalog either way: an update of the record when it is known.
    EXPECT_TRUE(catalogEntry(server.url(path), true));
}

INSTANTIATE_TEST_SUITE_P(
    ByTitle, AddFeedTitles,
    ::testing::Values(TitlePair{"sameText", "Daily", "Daily", false},
                      // "é" precomposed against "e" + combining acute: canonically equivalent.
                      TitlePair{"canonicallyEquivalent", "Caf\xC3\xA9", "Cafe\xCC\x81", false},
                      TitlePair{"differentCase", "Daily", "DAILY", true},
                      TitlePair{"titleWithPrefix", "Daily", "Daily News", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddFeedTest, shouldAppendASecondEntryForTheSameAddressAfterItsTitleChanged) {
    server.serve("/renamed", feedReply(feedDocument("New Name", "x")));
    storeList({{"Old Name", server.url("/renamed"), false}});

    ASSERT_TRUE(addRSS(url("/renamed"), kv));

    EXPECT_EQ(storedList(), (std::vector<Web>{{"Old Name", server.url("/renamed"), false},
                                              {"New Name", server.url("/renamed"), {}}}));
    EXPECT_EQ(announcements, 1);
}

}  // namespace
}  // namespace pressling
