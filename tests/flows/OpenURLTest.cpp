// URLs handed to the application: the scheme rule that turns them into feed addresses, and
// subscribing to the result with its outcome shown through the presenter — or nothing at all
// when there is no window.

#include "flows/OpenURL.h"

#include "flows/AddFeed.h"
#include "platform/KeyValueStore.h"
#include "platform/RunLoop.h"
#include "subscriptions/StoredWebs.h"
#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace pressling {
namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// --- the scheme rule ---

struct OpenedUrl {
    const char* name;
    const char* text;
    std::optional<std::string> address;  // none: the URL is dropped
};
void PrintTo(const OpenedUrl& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class OpenedUrlScheme : public ::testing::TestWithParam<OpenedUrl> {};

TEST_P(OpenedUrlScheme, shouldBecomeTheFeedAddress) {
    const auto url = normalizeOpenedURL(GetParam().text);
    EXPECT_EQ(url ? std::optional(url->absoluteString()) : std::nullopt, GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, OpenedUrlScheme,
    ::testing::Values(
        OpenedUrl{"httpsUnchanged", "https://x", "https://x"},
        OpenedUrl{"httpUnchanged", "http://example.org/a?b=c#d", "http://example.org/a?b=c#d"},
        OpenedUrl{"feedGetsHttpAndKeepsTheRest", "feed://user@example.org:8080/rss?id=1#top",
                  "http://user@example.org:8080/rss?id=1#top"},
        OpenedUrl{"feedAroundAnHttpsAddressLosesItsScheme", "feed:https://example.org/rss",
                  "https://example.org/rss"},
        // Only the host mentions "http": the scheme goes and a network-path reference is left.
        OpenedUrl{"feedWithHttpInTheHostLosesItsScheme", "feed://httpd.example/rss",
                  "//httpd.example/rss"},
        // The tests are case-sensitive: "HTTPS" holds no "http".
        OpenedUrl{"upperCaseSchemeBecomesHttp", "HTTPS://example.org/rss",
                  "http://example.org/rss"},
        OpenedUrl{"noSchemeGetsHttp", "example.org/rss", "http:example.org/rss"},
        OpenedUrl{"notAUrl", "feed://exa mple.org/rss", std::nullopt},
        OpenedUrl{"empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// --- subscribing to what was handed over ---

// Records what the flow shows, as the application's front screen would show it.
class RecordingPresenter final : public SubscribePresenter {
public:
    void showTransientMessage(std::string_view text) override { messages.emplace_back(text); }
    void presentAlert(const Alert& alert) override { alerts.push_back(alert); }

    std::vector<std::string> messages;
    std::vector<Alert> alerts;
};

constexpr char kFeed[] =
    R"(<?xml version="1.0" encoding="UTF-8"?><rss version="2.0"><channel>)"
    "<title>Opened</title><item><title>One</title><link>https://example.org/1</link>"
    "<description>x</description><pubDate>Tue, 03 Jun 2003 09:39:21 GMT</pubDate></item>"
    "</channel></rss>";

class OpenURLTest : public ::testing::Test {
protected:
    OpenURLTest() { installMainQueue(loop); }

    // "feed://127.0.0.1:<port><path>", as another program would hand it over.
    std::string feedLink(std::string_view path) const {
        return fmt::format("feed://127.0.0.1:{}{}", server.port(), path);
    }
    PresenterSupplier window() {
        return [this] { return &presenter; };
    }

    test::TemporaryDirectory folder;
    KeyValueStore kv{folder.path() / "kvstore.sqlite"};
    RunLoop loop;
    test::LoopbackServer server;
    RecordingPresenter presenter;
};

TEST_F(OpenURLTest, shouldDoNothingWithoutAWindow) {
    server.serve("/feed", test::Reply{200, kFeed, "application/rss+xml"});
    int asked = 0;

    openRSSURL(
        feedLink("/feed"),
        [&]() -> SubscribePresenter* {
            ++asked;
            return nullptr;
        },
        kv);

    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(server.requests().empty());
    EXPECT_EQ(kv.dataForKey(kStoredWebsKey).value(), std::nullopt);
}

TEST_F(OpenURLTest, shouldSubscribeAtTheHttpAddressAndSayLinkAddedAlsoWhenAlreadySubscribed) {
    server.serve("/feed", test::Reply{200, kFeed, "application/rss+xml"});

    openRSSURL(feedLink("/feed"), window(), kv);
    openRSSURL(feedLink("/feed"), window(), kv);

    EXPECT_EQ(server.requestCount("/feed"), 2u);
    EXPECT_EQ(presenter.messages, (std::vector<std::string>{"Link added", "Link added"}));
    EXPECT_TRUE(presenter.alerts.empty());
    EXPECT_EQ(loadStoredWebs(kv), (std::vector<Web>{{"Opened", server.url("/feed"), {}}}));
}

TEST_F(OpenURLTest, shouldLogAFailureAndShowTheNotFoundAlert) {
    server.serve("/missing", test::Reply{404, "gone", "text/plain"});

    CaptureStderr();
    openRSSURL(feedLink("/missing"), window(), kv);
    const std::string console = GetCapturedStderr();

    EXPECT_TRUE(presenter.messages.empty());
    const Alert expected{"RSS not found",
                         "We will check your link in order yo verify if we can support it. Maybe "
                         "it will work in the next update!",
                         {AlertAction{"Okey", AlertAction::Style::defaultStyle}}};
    EXPECT_EQ(presenter.alerts, std::vector<Alert>{expected});
    EXPECT_NE(console.find("404"), std::string::npos) << console;
}

}  // namespace
}  // namespace pressling
