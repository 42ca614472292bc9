// download() against servers on 127.0.0.1: what arrives, what is sent, and how every hostile or
// broken server ends in a classified error instead of a hang, a crash or a truncated success.

#include "platform/Download.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace pressling {
namespace {

using Kind = DownloadError::Kind;
using Result = std::expected<std::string, DownloadError>;
using test::LoopbackServer;
using test::Reply;
using namespace std::chrono_literals;

constexpr std::size_t kMiB = 1024 * 1024;
// httplib leaves this type alone, so the bytes on the wire are exactly the Reply's.
constexpr char kFeedType[] = "application/rss+xml";

const char* kindName(Kind kind) {
    switch (kind) {
        case Kind::unsupportedUrl:
            return "unsupportedUrl";
        case Kind::connectionFailed:
            return "connectionFailed";
        case Kind::timedOut:
            return "timedOut";
        case Kind::tooLarge:
            return "tooLarge";
        case Kind::tooManyRedirects:
            return "tooManyRedirects";
        case Kind::httpStatus:
            return "httpStatus";
        case Kind::transferFailed:
            return "transferFailed";
    }
    return "?";
}

// Passes when result failed with kind; otherwise says what came back instead.
testing::AssertionResult failedWith(const Result& result, Kind kind) {
    if (result) {
        return testing::AssertionFailure() << "succeeded with " << result->size() << " bytes";
    }
    if (result.error().kind != kind) {
        return testing::AssertionFailure()
               << "failed with " << kindName(result.error().kind) << ": " << result.error().message;
    }
    return testing::AssertionSuccess();
}

testing::AssertionResult succeeded(const Result& result) {
    if (result) return testing::AssertionSuccess();
    return testing::AssertionFailure()
           << "failed with " << kindName(result.error().kind) << ": " << result.error().message;
}

// Bytes a text-minded transfer would mangle: NUL, CR LF, high bytes, no trailing newline.
std::string awkwardBytes() {
    std::string bytes = "<rss version=\"2.0\">\r\n<channel>caf\xC3\xA9</channel>\n</rss>";
    bytes += std::string("\0\xFF\x80\r\n\x1F\x8B", 7);
    return bytes;
}

// Limits short enough that a time-out case ends in about a second.
DownloadOptions shortLimits() {
    DownloadOptions options;
    options.connectTimeout = 1s;
    options.lowSpeedTime = 1s;
    options.totalTimeout = 2s;
    return options;
}

class DownloadTest : public testing::Test {
  protected:
    LoopbackServer server;
};

TEST_F(DownloadTest, ReturnsTheBodyByteForByteAndNamesItself) {
    server.serve("/feed", Reply{.body = awkwardBytes(), .contentType = kFeedType});

    const auto result = download(server.url("/feed"));

    ASSERT_TRUE(succeeded(result));
    EXPECT_EQ(*result, awkwardBytes());
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(requests[0].header("User-Agent"), userAgent());
    EXPECT_TRUE(userAgent().starts_with("Pressling/")) << userAgent();
    EXPECT_GT(userAgent().size(), std::string_view("Pressling/").size()) << "no version";
}

TEST_F(DownloadTest, EmptyBodyIsSuccessWithEmptyText) {
    server.serve("/empty", Reply{.body = "", .contentType = kFeedType});

    const auto result = download(server.url("/empty"));

    ASSERT_TRUE(succeeded(result));
    EXPECT_EQ(*result, "");
}

TEST_F(DownloadTest, SchemeIsCaseInsensitive) {
    server.serve("/feed", Reply{.body = "ok", .contentType = kFeedType});

    const auto result = download("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/feed");

    ASSERT_TRUE(succeeded(result));
    EXPECT_EQ(*result, "ok");
}

TEST_F(DownloadTest, GzipBodyArrivesDecoded) {
    std::string document;
    for (int i = 0; i < 2000; ++i) {
        document += "<item><title>Entry " + std::to_string(i) + "</title></item>\n";
    }
    server.serve("/feed.gz", Reply{.body = test::gzip(document),
                                   .contentType = kFeedType,
                                   .headers = {{"Content-Encoding", "gzip"}}});

    const auto result = download(server.url("/feed.gz"));

    ASSERT_TRUE(succeeded(result));
    EXPECT_EQ(*result, document);
    EXPECT_NE(server.requests().at(0).header("Accept-Encoding").find("gzip"), std::string::npos);
}

TEST_F(DownloadTest, CallsOnManyThreadsShareNothing) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 5;
    for (int t = 0; t < kThreads; ++t) {
        server.serve(
            "/feed/" + std::to_string(t),
            Reply{.body = std::string(10'000 + t, char('a' + t)), .contentType = kFeedType});
    }
    std::vector<std::vector<Result>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                results[t].push_back(download(server.url("/feed/" + std::to_string(t))));
            }
        });
    }
    for (auto& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t) {
        for (const auto& result : results[t]) {
            ASSERT_TRUE(succeeded(result)) << "thread " << t;
            EXPECT_EQ(*result, std::string(10'000 + t, char('a' + t))) << "thread " << t;
        }
    }
}

// Redirects.

TEST_F(DownloadTest, FollowsARedirectChainOfEveryKind) {
    server.redirect("/moved", server.url("/found"), 301);  // absolute
    server.redirect("/found", "/see-other", 302);          // absolute path
    server.redirect("/see-other", "temporary", 303);       // relative to /see-other
    server.redirect("/temporary", "/permanent", 307);
    server.redirect("/permanent", "/feed", 308);
    server.serve("/feed", Reply{.body = "arrived", .contentType = kFeedType});

    const auto result = download(server.url("/moved"));

    ASSERT_TRUE(succeeded(result));
    EXPECT_EQ(*result, "arrived");
    const auto requests = server.requests();
    std::vector<std::string> paths;
    for (const auto& request : requests) {
        paths.push_back(request.path);
        EXPECT_EQ(request.header("User-Agent"), userAgent()) << request.path;
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"/moved", "/found", "/see-other", "/temporary",
                                               "/permanent", "/feed"}));
}

struct RedirectLimitCase {
    std::optional<long> maxRedirects;  // none: the default
    int hops;
    bool succeeds;
};

void PrintTo(const RedirectLimitCase& c, std::ostream* out) {
    *out << c.hops << " redirects, limit "
         << (c.maxRedirects ? std::to_string(*c.maxRedirects) : "default");
}

class DownloadRedirectLimit : public testing::TestWithParam<RedirectLimitCase> {
  protected:
    LoopbackServer server;
};

// /hop/N redirects to /hop/N-1; /hop/0 is the document, N redirects away from /hop/N.
TEST_P(DownloadRedirectLimit, FollowsUpToTheLimitAndNoFurther) {
    const auto& c = GetParam();
    for (int hop = 1; hop <= c.hops; ++hop) {
        server.redirect("/hop/" + std::to_string(hop), "/hop/" + std::to_string(hop - 1));
    }
    server.serve("/hop/0", Reply{.body = "end of the chain", .contentType = kFeedType});
    DownloadOptions options;
    if (c.maxRedirects) options.maxRedirects = *c.maxRedirects;

    const auto result = download(server.url("/hop/" + std::to_string(c.hops)), options);

    if (c.succeeds) {
        ASSERT_TRUE(succeeded(result));
        EXPECT_EQ(*result, "end of the chain");
        EXPECT_EQ(server.requests().size(), std::size_t(c.hops) + 1);
    } else {
        ASSERT_TRUE(failedWith(result, Kind::tooManyRedirects));
        EXPECT_NE(result.error().message.find(server.url("/hop/" + std::to_string(c.hops))),
                  std::string::npos)
            << result.error().message;
        EXPECT_EQ(server.requestCount("/hop/0"), 0u) << "followed the redirect past the limit";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Download, DownloadRedirectLimit,
    testing::Values(RedirectLimitCase{std::nullopt, 10, true},
                    RedirectLimitCase{std::nullopt, 11, false}, RedirectLimitCase{0, 0, true},
                    RedirectLimitCase{0, 1, false}, RedirectLimitCase{-1, 1, false},
                    RedirectLimitCase{2, 2, true}, RedirectLimitCase{2, 3, false}),
    [](const testing::TestParamInfo<RedirectLimitCase>& info) {
        const auto& c = info.param;
        const std::string limit = !c.maxRedirects       ? "Default"
                                  : *c.maxRedirects < 0 ? "Negative"
                                                        : std::to_string(*c.maxRedirects);
        return "Limit" + limit + "Hops" + std::to_string(c.hops);
    });

class DownloadRedirectScheme : public testing::TestWithParam<const char*> {
  protected:
    LoopbackServer server;
};

// A server must not turn a feed download into a read of a local file or another protocol.
TEST_P(DownloadRedirectScheme, RefusesToLeaveHttp) {
    server.redirect("/feed", GetParam());

    const auto result = download(server.url("/feed"));

    ASSERT_TRUE(failedWith(result, Kind::unsupportedUrl));
    EXPECT_NE(result.error().message.find(server.url("/feed")), std::string::npos)
        << result.error().message;
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadRedirectScheme,
                         testing::Values("file:///etc/passwd", "ftp://127.0.0.1/feed.xml",
                                         "dict://127.0.0.1/", "gopher://127.0.0.1/"));

// HTTP status.

struct StatusCase {
    int status;
    bool succeeds;
};

void PrintTo(const StatusCase& c, std::ostream* out) {
    *out << "status " << c.status;
}

class DownloadStatus : public testing::TestWithParam<StatusCase> {
  protected:
    LoopbackServer server;
};

TEST_P(DownloadStatus, FailsFrom400Up) {
    const auto& c = GetParam();
    server.serve("/feed", Reply{.status = c.status, .body = "page", .contentType = kFeedType});

    const auto result = download(server.url("/feed"));

    if (c.succeeds) {
        ASSERT_TRUE(succeeded(result));
        EXPECT_EQ(*result, "page");
        return;
    }
    ASSERT_TRUE(failedWith(result, Kind::httpStatus));
    EXPECT_EQ(result.error().httpStatus, c.status);
    const auto& message = result.error().message;
    EXPECT_NE(message.find("HTTP " + std::to_string(c.status)), std::string::npos) << message;
    EXPECT_NE(message.find(server.url("/feed")), std::string::npos) << message;
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadStatus,
                         testing::Values(StatusCase{203, true}, StatusCase{399, true},
                                         StatusCase{400, false}, StatusCase{404, false},
                                         StatusCase{410, false}, StatusCase{500, false},
                                         StatusCase{503, false}),
                         [](const testing::TestParamInfo<StatusCase>& info) {
                             return "Status" + std::to_string(info.param.status);
                         });

TEST_F(DownloadTest, ErrorStatusAfterARedirectNamesWhereItCameFrom) {
    server.redirect("/feed", "/gone");
    server.serve("/gone", Reply{.status = 404, .body = "not here", .contentType = kFeedType});

    const auto result = download(server.url("/feed"));

    ASSERT_TRUE(failedWith(result, Kind::httpStatus));
    EXPECT_EQ(result.error().httpStatus, 404);
    EXPECT_NE(result.error().message.find(server.url("/gone")), std::string::npos)
        << result.error().message;
}

// Size cap.

struct SizeCase {
    std::size_t maxBytes;
    std::size_t bodyBytes;
    bool chunked;  // no Content-Length: the cap can only act while bytes arrive
    bool succeeds;
};

void PrintTo(const SizeCase& c, std::ostream* out) {
    *out << c.bodyBytes << " bytes " << (c.chunked ? "chunked" : "with Content-Length") << ", cap "
         << c.maxBytes;
}

class DownloadSizeCap : public testing::TestWithParam<SizeCase> {
  protected:
    LoopbackServer server;
};

TEST_P(DownloadSizeCap, RefusesBodiesOverTheCapNeverTruncates) {
    const auto& c = GetParam();
    const std::string body(c.bodyBytes, 'x');
    server.serve("/feed", Reply{.body = body, .contentType = kFeedType, .chunked = c.chunked});
    DownloadOptions options;
    options.maxBytes = c.maxBytes;

    const auto result = download(server.url("/feed"), options);

    if (c.succeeds) {
        ASSERT_TRUE(succeeded(result));
        EXPECT_EQ(result->size(), body.size());
    } else {
        ASSERT_TRUE(failedWith(result, Kind::tooLarge));
        EXPECT_NE(result.error().message.find(server.url("/feed")), std::string::npos)
            << result.error().message;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Download, DownloadSizeCap,
    testing::Values(SizeCase{kMiB, kMiB, false, true}, SizeCase{kMiB, kMiB + 1, false, false},
                    SizeCase{kMiB, kMiB, true, true}, SizeCase{kMiB, kMiB + 1, true, false},
                    SizeCase{kMiB, 8 * kMiB, true, false},
                    // To curl a maximum of 0 means "unlimited"; here it must still mean 0.
                    SizeCase{0, 0, false, true}, SizeCase{0, 1, false, false},
                    SizeCase{0, 1, true, false}),
    [](const testing::TestParamInfo<SizeCase>& info) {
        const auto& c = info.param;
        return "Cap" + std::to_string(c.maxBytes) + "Body" + std::to_string(c.bodyBytes) +
               (c.chunked ? "Chunked" : "WithLength");
    });

// Refused on the declared length alone: the body arrives far too slowly for the download to
// end any other way than on the header.
TEST_F(DownloadTest, DeclaredLengthOverTheCapIsRefusedBeforeTheBody) {
    server.serveSlowly("/feed",
                       {.pieces = 100, .pieceBytes = 1, .pause = 50ms, .declaredLength = 2 * kMiB});
    DownloadOptions options = shortLimits();
    options.maxBytes = kMiB;

    EXPECT_TRUE(failedWith(download(server.url("/feed"), options), Kind::tooLarge));
}

// A few KiB on the wire that inflate past the cap: the cap counts the document, not the wire.
TEST_F(DownloadTest, CapAppliesToTheDecodedBody) {
    server.serve("/bomb", Reply{.body = test::gzip(std::string(8 * kMiB, '\0')),
                                .contentType = kFeedType,
                                .headers = {{"Content-Encoding", "gzip"}}});
    DownloadOptions options;
    options.maxBytes = kMiB;

    EXPECT_TRUE(failedWith(download(server.url("/bomb"), options), Kind::tooLarge));
}

// Servers that never finish, or finish too slowly. The slow servers give the limit under test a
// short value and the other limits long ones: were that limit not applied, the download would
// succeed instead of ending early.

TEST(DownloadTimeout, ServerThatAcceptsAndNeverAnswers) {
    test::SilentServer silent;

    EXPECT_TRUE(failedWith(download(silent.url("/feed"), shortLimits()), Kind::timedOut));
}

TEST_F(DownloadTest, BodySlowerThanTheSpeedFloorIsAbandoned) {
    // 40 bytes at 20 bytes a second: complete after 2 s, but under 64 bytes a second throughout.
    server.serveSlowly("/feed", {.pieces = 40, .pieceBytes = 1, .pause = 50ms});
    DownloadOptions options;
    options.lowSpeedBytesPerSecond = 64;
    options.lowSpeedTime = 1s;
    options.totalTimeout = 30s;

    EXPECT_TRUE(failedWith(download(server.url("/feed"), options), Kind::timedOut));
}

TEST_F(DownloadTest, TransferLongerThanTheTotalLimitIsCutOff) {
    // 3 s of a steady 20 KiB a second, well above the speed floor.
    server.serveSlowly("/feed", {.pieces = 60, .pieceBytes = 1024, .pause = 50ms});
    DownloadOptions options;
    options.lowSpeedBytesPerSecond = 1;
    options.totalTimeout = 1s;

    EXPECT_TRUE(failedWith(download(server.url("/feed"), options), Kind::timedOut));
}

// A truncated body must never pass for the whole document.
TEST_F(DownloadTest, BodyShorterThanItsContentLengthFails) {
    server.serveSlowly("/feed",
                       {.pieces = 10, .pieceBytes = 10, .pause = 0ms, .declaredLength = 1000});

    const auto result = download(server.url("/feed"), shortLimits());

    ASSERT_FALSE(result) << "a 100-byte body declared as 1000 bytes succeeded";
    EXPECT_NE(result.error().message.find(server.url("/feed")), std::string::npos)
        << result.error().message;
}

// Connection failures.

TEST(DownloadConnection, RefusedPortFails) {
    const auto url = "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/feed";

    const auto result = download(url, shortLimits());

    ASSERT_TRUE(failedWith(result, Kind::connectionFailed));
    EXPECT_NE(result.error().message.find(url), std::string::npos) << result.error().message;
}

TEST_F(DownloadTest, HttpsToAServerWithoutTlsFails) {
    const auto url = "https://127.0.0.1:" + std::to_string(server.port()) + "/feed";

    EXPECT_TRUE(failedWith(download(url, shortLimits()), Kind::connectionFailed));
}

// Addresses refused before any connection is made.

class DownloadUnsupportedUrl : public testing::TestWithParam<const char*> {};

TEST_P(DownloadUnsupportedUrl, IsRefused) {
    const auto result = download(GetParam(), shortLimits());

    ASSERT_TRUE(failedWith(result, Kind::unsupportedUrl)) << '"' << GetParam() << '"';
    EXPECT_NE(result.error().message.find(GetParam()), std::string::npos) << result.error().message;
}

INSTANTIATE_TEST_SUITE_P(
    Download, DownloadUnsupportedUrl,
    testing::Values("ftp://127.0.0.1/feed.xml", "file:///etc/passwd", "javascript:alert(1)",
                    "feed://example.org/rss.xml",  // must be rewritten to http(s) first
                    "example.org/feed.xml",        // curl alone would guess http
                    "", "http://", "not a url at all"));

}  // namespace
}  // namespace pressling
