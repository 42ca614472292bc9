// download() and DownloadLoop against servers on 127.0.0.1: every hostile or broken server ends
// in a classified error, never a hang, a crash or a truncated success.

#include "platform/Download.h"
#include "platform/DownloadLoop.h"

#include "support/Fixtures.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <condition_variable>
#include <future>
#include <set>
#include <thread>
#include <variant>

namespace pressling {
namespace {

using Kind = DownloadError::Kind;
using test::LoopbackServer;
using test::Reply;
using namespace std::chrono_literals;

constexpr std::size_t kMiB = 1024 * 1024;
constexpr DownloadOptions kShort{.connectTimeout = 1s, .lowSpeedTime = 1s, .totalTimeout = 2s};

// httplib leaves this type alone, so the bytes on the wire are exactly the Reply's.
Reply feed(std::string body, bool chunked = false) {
    return Reply{.body = std::move(body), .contentType = "application/rss+xml", .chunked = chunked};
}
// A gzip file of this suite's data, sent as it is.
Reply gzipped(std::string_view fixture) {
    return Reply{.body = test::readFixture("platform", fixture),
                 .contentType = "application/rss+xml",
                 .headers = {{"Content-Encoding", "gzip"}}};
}

using Plan = std::function<void(LoopbackServer&)>;

Plan serves(Reply reply) {
    return [reply](LoopbackServer& server) { server.serve("/feed", reply); };
}
// /feed, then count - 1 further redirects, then the document.
Plan hops(int count) {
    return [count](LoopbackServer& server) {
        auto at = [count](int hop) {
            return hop == count ? "/feed" : "/hop/" + std::to_string(hop);
        };
        for (int hop = count; hop > 0; --hop) server.redirect(at(hop), at(hop - 1));
        server.serve(at(0), feed("end of the chain"));
    };
}
Plan slowly(std::size_t pieces, std::size_t bytes, std::optional<std::size_t> length = {},
            std::chrono::milliseconds pause = 50ms) {
    return [=](LoopbackServer& s) { s.serveSlowly("/feed", {pieces, bytes, pause, length}); };
}
void redirectsOfEveryKind(LoopbackServer& s) {
    s.redirect("/feed", s.url("/found"), 301);   // absolute
    s.redirect("/found", "/see-other", 302);     // absolute path
    s.redirect("/see-other", "temporary", 303);  // relative
    s.redirect("/temporary", "/permanent", 307);
    s.redirect("/permanent", "/end", 308);
    s.serve("/end", feed("arrived"));
}

// Bytes a text-minded transfer would mangle: NUL, CR LF, high bytes, no trailing newline.
const std::string kAwkward = std::string("<rss>\r\ncaf\xC3\xA9</rss>\n\0\xFF\x80\r\n\x1F\x8B", 26);
const std::string kDocument(100'000, 'd');  // document.gz inflated
const std::string kMiBody(kMiB, 'x');
const std::string kOverMiB(kMiB + 1, 'x');
constexpr DownloadOptions kCap{.totalTimeout = 2s, .maxBytes = kMiB};
constexpr DownloadOptions kCapZero{.totalTimeout = 2s, .maxBytes = 0};
constexpr char kFeed[] = "http://127.0.0.1:{loopback}/feed";  // also {silent}, {closed}

struct DownloadCase {
    const char* name;
    Plan plan;
    std::variant<std::string, Kind, long> outcome;  // the body, how it fails, or an HTTP status
    DownloadOptions options = kShort;
    const char* url = kFeed;
    const char* failedAt = nullptr;                    // a second URL the message must name
    std::optional<std::chrono::seconds> retryAfter{};  // what a DownloadLoop failure reports
};

// clang-format off
const DownloadCase kCases[] = {
    {"BytesArriveExactly", serves(feed(kAwkward)), kAwkward},
    {"SchemeInCapitals", serves(feed("ok")), "ok", kShort, "HTTP://127.0.0.1:{loopback}/feed"},
    {"GzipArrivesDecoded", serves(gzipped("document.gz")), kDocument},
    {"RedirectsOfEveryKind", redirectsOfEveryKind, "arrived"},
    {"TenRedirectsByDefault", hops(10), "end of the chain", DownloadOptions()},
    {"ElevenRedirectsAreTooMany", hops(11), Kind::tooManyRedirects, DownloadOptions()},
    {"RedirectLimitZero", hops(1), Kind::tooManyRedirects, {.maxRedirects = 0}},
    {"NegativeRedirectLimitIsZero", hops(1), Kind::tooManyRedirects, {.maxRedirects = -1}},
    // A server must not turn a feed download into another protocol (file:// is curl's own
    // default refusal; ftp:// is the one it would follow).
    {"RedirectToFtp", [](LoopbackServer& s) { s.redirect("/feed", "ftp://127.0.0.1/feed.xml"); }, Kind::unsupportedUrl},
    {"Status399IsASuccess", serves({.status = 399, .body = "page"}), "page"},
    {"Status400", serves({.status = 400, .body = "page"}), 400L},
    {"Status429RetryAfterSeconds", serves({.status = 429, .body = "busy", .headers = {{"Retry-After", "120"}}}), 429L, kShort, kFeed, nullptr, 120s},
    {"Status503RetryAfterDate", serves({.status = 503, .body = "busy", .headers = {{"Retry-After", test::httpDateIn(3600s)}}}), 503L, kShort, kFeed, nullptr, 3600s},
    {"StatusAfterARedirect", [](LoopbackServer& s) { s.redirect("/feed", "/gone"), s.serve("/gone", {.status = 404, .body = "missing"}); }, 404L, kShort, kFeed, "/gone"},
    {"BodyAtTheCap", serves(feed(kMiBody)), kMiBody, kCap},
    {"BodyOverTheCap", serves(feed(kOverMiB)), Kind::tooLarge, kCap},
    {"ChunkedAtTheCap", serves(feed(kMiBody, true)), kMiBody, kCap},
    {"ChunkedOverTheCap", serves(feed(kOverMiB, true)), Kind::tooLarge, kCap},
    // To curl a maximum of 0 means "unlimited"; here it must still mean 0.
    {"CapZeroAdmitsAnEmptyBody", serves(feed("")), "", kCapZero},
    {"CapZeroRefusesOneByte", serves(feed("x", true)), Kind::tooLarge, kCapZero},
    // Refused on the header alone: the body arrives far too slowly to end any other way.
    {"DeclaredLengthOverTheCap", slowly(100, 1, 2 * kMiB), Kind::tooLarge, kCap},
    // 8 KiB on the wire that inflate to 8 MiB of NULs: the cap counts the document.
    {"GzipBomb", serves(gzipped("bomb.gz")), Kind::tooLarge, kCap},
    {"ServerThatNeverAnswers", {}, Kind::timedOut, kShort, "http://127.0.0.1:{silent}/feed"},
    // The limit under test short, the others long. 40 bytes at 20 a second: complete after 2 s,
    // but under the floor of 64 throughout; then 3 s of a steady 20 KiB a second.
    {"BelowTheSpeedFloor", slowly(40, 1), Kind::timedOut, {.lowSpeedBytesPerSecond = 64, .lowSpeedTime = 1s, .totalTimeout = 30s}},
    {"LongerThanTheTotalLimit", slowly(60, 1024), Kind::timedOut, {.lowSpeedBytesPerSecond = 1, .lowSpeedTime = 1s, .totalTimeout = 1s}},
    {"ShorterThanItsContentLength", slowly(10, 10, 1000, 0ms), Kind::transferFailed},
    {"RefusedPort", {}, Kind::connectionFailed, kShort, "http://127.0.0.1:{closed}/feed"},
    {"HttpsToAServerWithoutTls", {}, Kind::connectionFailed, kShort, "https://127.0.0.1:{loopback}/feed"},
    // Refused before any connection is made.
    {"File", {}, Kind::unsupportedUrl, kShort, "file:///etc/passwd"},
    {"FeedSchemeNotRewrittenHere", {}, Kind::unsupportedUrl, kShort, "feed://example.org/rss.xml"},
    {"NoSchemeCurlWouldGuess", {}, Kind::unsupportedUrl, kShort, "example.org/feed.xml"},
    {"Empty", {}, Kind::unsupportedUrl, kShort, ""},
    {"SchemeOnly", {}, Kind::unsupportedUrl, kShort, "http://"},
};
// clang-format on

enum class Way { download, loop };

// The result of url, once loop has carried it.
std::future<DownloadResult> fetch(DownloadLoop& loop, const std::string& url) {
    auto done = std::make_shared<std::promise<DownloadResult>>();
    loop.add({url, {}, {}}, [done](DownloadResult result) { done->set_value(std::move(result)); });
    return done->get_future();
}

// What the case's transfer gives, carried the way under test.
DownloadResult transfer(Way way, const std::string& url, const DownloadOptions& options) {
    if (way == Way::download) {
        auto body = download(url, options);
        if (!body) return std::unexpected(std::move(body.error()));
        return DownloadResponse{200, std::move(*body), {}, {}};
    }
    DownloadLoop loop(options, {});
    return fetch(loop, url).get();
}

// The servers a case may use; every case asks for /feed on one of them.
class Download : public testing::TestWithParam<std::tuple<DownloadCase, Way>> {
protected:
    LoopbackServer loopback;
    test::SilentServer silent;
};

TEST_P(Download, EndsAsPlanned) {
    const auto& [c, way] = GetParam();
    if (c.plan) c.plan(loopback);
    const std::string url =
        fmt::format(fmt::runtime(c.url), fmt::arg("closed", test::closedPort()),
                    fmt::arg("loopback", loopback.port()), fmt::arg("silent", silent.port()));

    const auto result = transfer(way, url, c.options);

    for (const auto& request : loopback.requests()) {
        EXPECT_EQ(request.method + " " + request.header("User-Agent"),
                  "GET " + std::string(userAgent()));
    }
    if (const auto* body = std::get_if<std::string>(&c.outcome)) {
        ASSERT_TRUE(result) << result.error().message;
        EXPECT_TRUE(result->body == *body) << result->body.size() << " bytes, not " << body->size();
        return;
    }
    ASSERT_FALSE(result) << "succeeded with " << result->body.size() << " bytes";
    const auto& error = result.error();
    const auto* status = std::get_if<long>(&c.outcome);
    EXPECT_EQ(int(error.kind), int(status ? Kind::httpStatus : std::get<Kind>(c.outcome)));
    EXPECT_EQ(error.httpStatus, status ? *status : 0);
    for (const std::string& part : {url, status ? fmt::format("HTTP {}", *status) : "",
                                    c.failedAt ? loopback.url(c.failedAt) : ""}) {
        EXPECT_NE(error.message.find(part), std::string::npos) << error.message;
    }
    // The date form is counted from the moment the answer arrived: a few seconds of leeway.
    if (way == Way::download) return;
    EXPECT_EQ(error.retryAfter.has_value(), c.retryAfter.has_value());
    if (error.retryAfter && c.retryAfter) {
        EXPECT_LE(*error.retryAfter, *c.retryAfter);
        EXPECT_GE(*error.retryAfter, *c.retryAfter - 10s);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Download,
                         testing::Combine(testing::ValuesIn(kCases),
                                          testing::Values(Way::download, Way::loop)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == Way::loop ? "_loop" : "");
                         });

// Each request is held until its wave of six is complete: six at once, never seven, and six
// connections carry all eighteen.
TEST(DownloadLoopTest, runsTransfersSideBySideUpToTheCapPerHostOnReusedConnections) {
    constexpr int kCap = 6, kWaves = 3;
    LoopbackServer server;
    std::mutex mutex;
    std::condition_variable arrivedMore;
    int arrived = 0, active = 0, mostAtOnce = 0;
    std::set<int> clientPorts;
    server.handle("/feed", [&](const httplib::Request& request, httplib::Response& response) {
        std::unique_lock lock(mutex);
        const int wave = arrived++ / kCap;
        mostAtOnce = std::max(mostAtOnce, ++active);
        clientPorts.insert(request.remote_port);
        arrivedMore.notify_all();
        arrivedMore.wait_for(lock, 5s, [&] { return arrived >= (wave + 1) * kCap; });
        --active;
        response.set_content("document", "application/octet-stream");
    });
    std::vector<std::future<DownloadResult>> results;
    {
        DownloadLoop loop(kShort, {.maxTransfers = 32, .maxPerHost = kCap});
        for (int i = 0; i < kCap * kWaves; ++i) results.push_back(fetch(loop, server.url("/feed")));
    }
    for (auto& result : results) {
        EXPECT_EQ(result.get().value_or(DownloadResponse{}).body, "document");
    }
    EXPECT_EQ(mostAtOnce, kCap);
    EXPECT_LE(clientPorts.size(), std::size_t(kCap));
}

TEST(DownloadThreads, ShareNothing) {
    LoopbackServer server;
    std::vector<std::future<int>> wrong;
    for (int t = 0; t < 4; ++t) {
        const std::string path = fmt::format("/feed/{}", t), body(10'000 + t, char('a' + t));
        server.serve(path, feed(body));
        wrong.push_back(std::async(std::launch::async, [url = server.url(path), body] {
            int mismatches = 0;
            for (int i = 0; i < 5; ++i) mismatches += download(url) != body;
            return mismatches;
        }));
    }
    for (auto& count : wrong) EXPECT_EQ(count.get(), 0);
}

}  // namespace
}  // namespace pressling
