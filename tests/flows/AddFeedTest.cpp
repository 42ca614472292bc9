// Adding a feed: which candidates pass the check, what reaches the list, when it is announced.

#include "flows/AddFeed.h"

#include "feedparse/TextLimits.h"
#include "platform/DataFolder.h"
#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

using namespace test;

// The catalog and data folder are chosen once per process: both in a throwaway folder.
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

// An RSS 2.0 feed with one entry, untitled and undescribed so that the feed cannot take them.
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
    NotificationCount announcements{kWillUpdateWebNotification};
};

std::string outcome(const std::expected<void, AddRSSError>& added) {
    if (added) return "added";
    if (added.error().isNotFound()) return "notFound";
    return fmt::format("http {}", added.error().downloadError()->httpStatus);
}

// Addresses are not compared; a title already subscribed is "added" and leaves the list unwritten.
TEST_F(AddFeedTest, appendsOnlyAUsableFeedWhoseTitleIsNotYetSubscribed) {
    const struct {
        const char* name;
        Reply reply;
        const char* outcome;
        std::optional<std::string> appended;  // the title that reaches the list
        const char* stored = "Daily";
    } rows[] = {
        {"unreadableFirstDate", feed("Odd dates", "x", "the third of June"), "notFound", {}},
        {"sameText", feed("Daily"), "added", {}},
        // "é" precomposed against "e" + combining acute: canonically equivalent.
        {"canonicallyEquivalent", feed("Cafe\xCC\x81"), "added", {}, "Caf\xC3\xA9"},
        {"differentCase", feed("DAILY"), "added", "DAILY"},
        {"titleWithPrefix", feed("Daily News"), "added", "Daily News"},
        {"titleCutToTheCap", feed(std::string(kMaxTitleBytes + 9, 'N')), "added",
         std::string(kMaxTitleBytes, 'N')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = fmt::format("/{}", row.name);
        server.serve(path, row.reply);
        const Web existing{row.stored, server.url(path), false};
        storeList({existing});
        const auto before = storedBytes();
        announcements.count = 0;

        auto added = addRSS(url(path), kv);

        EXPECT_EQ(outcome(added), row.outcome) << (added ? "" : added.error().message);
        if (row.appended) {
            EXPECT_EQ(storedList(),
                      (std::vector<Web>{existing, {*row.appended, server.url(path), {}}}));
        } else {
            EXPECT_EQ(storedBytes(), before);
        }
        EXPECT_EQ(announcements.count, row.appended ? 1 : 0);
    }
}

}  // namespace
}  // namespace pressling
