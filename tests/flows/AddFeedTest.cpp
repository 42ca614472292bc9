// Adding a feed: which candidates pass the check, what reaches the list, when
// "willUpdateWeb" is posted, how a title already subscribed is recognised, and that a list that
// cannot be written is a failure.

#include "flows/AddFeed.h"

#include "platform/DataFolder.h"
#include "store/TextLimits.h"
#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

using namespace test;

// The process's catalog and data folder are chosen once per process: point both at a throwaway
// folder before any test of this executable runs.
class ThrowawayDataEnvironment : public testing::Environment {
public:
    void SetUp() override {
        folder_ = std::make_unique<TemporaryDirectory>();
        setDataFolderOverride(folder_->path());
        ::setenv("PRESSLING_CATALOG",
                 ("sqlite:" + (folder_->path() / "catalog.sqlite").string()).c_str(), 1);
    }
    void TearDown() override { folder_.reset(); }

private:
    std::unique_ptr<TemporaryDirectory> folder_;
};
[[maybe_unused]] auto* const gThrowawayData =
    testing::AddGlobalTestEnvironment(new ThrowawayDataEnvironment);

// An RSS 2.0 feed with one entry dated dateText. The entry has neither title nor description,
// which the feed would otherwise take as its own when it lacks them.
Reply feed(std::optional<std::string_view> title, std::optional<std::string_view> description = {},
           std::string_view dateText = "Tue, 03 Jun 2003 09:39:21 GMT") {
    return Reply{
        200,
        fmt::format(R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel>{}{})"
                    "<item><link>https://example.org/first</link><pubDate>{}</pubDate></item>"
                    "</channel></rss>",
                    title ? fmt::format("<title>{}</title>", *title) : "",
                    description ? fmt::format("<description>{}</description>", *description) : "",
                    dateText),
        "application/rss+xml"};
}

class AddFeedTest : public FlowTest {
protected:
    Url url(std::string_view path) const { return Url::parse(server.url(path)).value(); }

    LoopbackServer server;
    int announcements = 0;
    NotificationCenter::Observer observer = NotificationCenter::defaultCenter().addObserver(
        std::string(kWillUpdateWebNotification), std::nullopt,
        NotificationCenter::Delivery::postingThread,
        [this](const Notification&) { ++announcements; });
};

TEST_F(AddFeedTest, appendsAPassingFeedWithItsTitleCutToTheCapAndAnnouncesIt) {
    const std::string title(kMaxTitleBytes + 100, 'N');
    server.serve("/passes", feed(title, "All the news"));
    storeList({{"Zebra", "https://zebra.example/feed", true}});

    ASSERT_TRUE(addRSS(url("/passes"), kv));

    const std::string bounded(kMaxTitleBytes, 'N');
    EXPECT_EQ(storedList(), (std::vector<Web>{{"Zebra", "https://zebra.example/feed", true},
                                              {bounded, server.url("/passes"), {}}}));
    EXPECT_EQ(announcements, 1);
}

TEST_F(AddFeedTest, failsWithNothingChangedForAFeedThatCannotBeUsedOrFetched) {
    const struct {
        const char* name;
        Reply reply;
        std::optional<int> httpStatus;  // none: RSSError::notFound
    } rows[] = {
        {"htmlPage",
         {200, "<!DOCTYPE html><html><head><title>Shop</title></head></html>", "text/html"},
         {}},
        {"unreadableFirstDate", feed("Odd dates", "x", "the third of June"), {}},
        {"untitledFeed", feed(std::nullopt, "x"), {}},
        {"missing", {404, "gone", "text/plain"}, 404},
    };
    storeList({{"Kept", "https://kept.example/feed", std::nullopt}});
    const auto before = storedBytes();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = fmt::format("/{}", row.name);
        server.serve(path, row.reply);
        auto added = addRSS(url(path), kv);
        ASSERT_FALSE(added);
        EXPECT_EQ(added.error().isNotFound(), !row.httpStatus) << added.error().message;
        if (row.httpStatus) {
            EXPECT_EQ(added.error().downloadError()->httpStatus, *row.httpStatus);
        }
        EXPECT_EQ(storedBytes(), before);
        EXPECT_EQ(announcements, 0);
    }
}

// Every stored subscription has the candidate's own address: addresses are not compared.
TEST_F(AddFeedTest, appendsOnlyATitleNotYetSubscribed) {
    const struct {
        const char* name;
        const char* stored;
        const char* fetched;
        bool appended;
    } rows[] = {
        {"sameText", "Daily", "Daily", false},
        // "é" precomposed against "e" + combining acute: canonically equivalent.
        {"canonicallyEquivalent", "Caf\xC3\xA9", "Cafe\xCC\x81", false},
        {"differentCase", "Daily", "DAILY", true},
        {"titleWithPrefix", "Daily", "Daily News", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = fmt::format("/{}", row.name);
        server.serve(path, feed(row.fetched));
        const Web existing{row.stored, server.url(path), false};
        storeList({existing});
        announcements = 0;

        ASSERT_TRUE(addRSS(url(path), kv));

        auto expected = std::vector{existing};
        if (row.appended) expected.push_back({row.fetched, server.url(path), {}});
        EXPECT_EQ(storedList(), expected);
        EXPECT_EQ(announcements, row.appended ? 1 : 0);
    }
}

TEST_F(AddFeedTest, failsAsNotSavedWithoutAnnouncingWhenTheListCannotBeWritten) {
    server.serve("/passes", feed("Passing"));
    KeyValueStore unwritable{store.folder() / "no such folder" / "kvstore.sqlite"};

    auto added = addRSS(url("/passes"), unwritable);

    ASSERT_FALSE(added);
    EXPECT_TRUE(added.error().isNotSaved());
    EXPECT_FALSE(added.error().isNotFound());
    EXPECT_NE(added.error().message.find("no such folder"), std::string::npos)
        << added.error().message;
    EXPECT_EQ(announcements, 0);
}

}  // namespace
}  // namespace pressling
