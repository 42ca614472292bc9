// URLs handed to the application: the scheme rule, and subscribing with the outcome shown.

#include "flows/OpenURL.h"

#include "flows/AddFeed.h"
#include "support/LoopbackServer.h"
#include "support/StoreTestSupport.h"

#include <gtest/gtest.h>

namespace pressling {
namespace {

using namespace test;

TEST(NormalizeOpenedURL, keepsHttpSchemesAndTurnsOthersIntoHttpOrNone) {
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"https://x", "https://x"},
        {"http://example.org/a?b=c#d", "http://example.org/a?b=c#d"},
        {"feed://user@example.org:8080/rss?id=1#top", "http://user@example.org:8080/rss?id=1#top"},
        {"feed:https://example.org/rss", "https://example.org/rss"},  // "http" in the rest
        // Only the host mentions "http": the scheme goes and a network-path reference is left.
        {"feed://httpd.example/rss", "//httpd.example/rss"},
        {"HTTPS://example.org/rss", "http://example.org/rss"},  // case-sensitive: no "http"
        {"example.org/rss", "http:example.org/rss"},
        {"feed://exa mple.org/rss", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, address] : rows) {
        const auto url = normalizeOpenedURL(text);
        EXPECT_EQ(url ? std::optional(url->absoluteString()) : std::nullopt, address) << text;
    }
}

// Records what the flow shows, as the application's front screen would show it.
struct RecordingPresenter final : SubscribePresenter {
    void showTransientMessage(std::string_view text) override { messages.emplace_back(text); }
    void presentAlert(const Alert& alert) override { alerts.push_back(alert.title); }
    std::vector<std::string> messages;
    std::vector<std::string> alerts;
};

using OpenURLTest = FlowTest;

TEST_F(OpenURLTest, showsLinkAddedOnlyWhenTheFeedIsInTheList) {
    LoopbackServer server;
    RecordingPresenter presenter;
    bool window = false;
    // "feed://127.0.0.1:<port><path>", as another program would hand it over.
    const auto open = [&](std::string_view path, KeyValueStore& list) {
        openRSSURL(
            fmt::format("feed://127.0.0.1:{}{}", server.port(), path),
            [&] { return window ? &presenter : nullptr; }, list);
    };
    server.serve("/feed", Reply{200, rssDocument("Opened", 1), "application/rss+xml"});
    server.serve("/missing", Reply{404, "gone", "text/plain"});
    KeyValueStore unwritable{store.folder() / "no such folder" / "kvstore.sqlite"};

    open("/feed", kv);
    EXPECT_TRUE(server.requests().empty()) << "it downloaded without a window";
    window = true;
    open("/feed", kv);
    open("/feed", kv);  // already subscribed: also a success
    testing::internal::CaptureStderr();
    open("/missing", kv);
    open("/feed", unwritable);
    const std::string console = testing::internal::GetCapturedStderr();

    EXPECT_EQ(presenter.messages, (std::vector<std::string>{"Link added", "Link added"}));
    EXPECT_EQ(presenter.alerts, (std::vector<std::string>{"RSS not found", "Link not saved"}));
    EXPECT_EQ(storedList(), (std::vector<Web>{{"Opened", server.url("/feed"), {}}}));
    EXPECT_NE(console.find("404"), std::string::npos) << console;
    EXPECT_NE(console.find("no such folder"), std::string::npos) << "why it was not saved";
}

}  // namespace
}  // namespace pressling
