// The article's page in a real web engine against loopback servers; links that are not web ones.

#include "reading/DetailViewController.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"
#include "ui/ShareSheet.h"

#include <QElapsedTimer>
#include <QProgressBar>

#include <future>

namespace pressling::reading {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

BlogPost article(const std::string& title, std::optional<std::string> link,
                 std::string description = "") {
    return {.desc = description, .link = link ? Url::parse(*link) : std::nullopt, .title = title};
}

class DetailViewControllerTest : public ::testing::Test {
protected:
    DetailViewControllerTest() {
        server.serve("/page", test::Reply{200, "<title>Page</title>Hello", "text/html"});
        server.serve("/missing", test::Reply{404, "Not here", "text/html"});
        detail.resize(800, 600);
        detail.show();
    }
    bool indicatorShown() const { return detail.activityIndicator()->isVisibleTo(&detail); }

    test::LoopbackServer server;
    DetailViewController detail;
    QSignalSpy finished{&detail, &DetailViewController::navigationFinished};
    QSignalSpy failed{&detail, &DetailViewController::loadErrorShown};
};

TEST_F(DetailViewControllerTest, aPageOrErrorPageIsContentARefusedOrSilentServerAlertsOnce) {
    test::SilentServer silent;  // accepts, and never says a word
    const std::string refused = fmt::format("http://127.0.0.1:{}/page", test::closedPort());
    for (const std::string& link :
         {server.url("/page"), server.url("/missing"), refused, silent.url("/page")}) {
        SCOPED_TRACE(link);
        const bool content = link.starts_with(server.url(""));
        detail.setLoadTimeout(link == silent.url("/page") ? 300ms : 60000ms);
        detail.setDetailItem(article(link, link));
        EXPECT_TRUE(indicatorShown());
        EXPECT_EQ(detail.windowTitle(), QString::fromStdString(link));
        ASSERT_TRUE(waitUntil([&] { return finished.count() + failed.count() == 1; }));
        EXPECT_EQ(finished.count(), content ? 1 : 0);
        EXPECT_FALSE(indicatorShown());
        if (!content) {
            QTest::qWait(200);  // the engine's own failure, after the time-out, is not a second
            ASSERT_EQ(failed.count(), 1);
            auto* box = failed[0][0].value<QMessageBox*>();
            ASSERT_EQ(box->buttons().size(), 1);
            EXPECT_EQ(box->text() + " " + box->buttons()[0]->text(), "Error Okey");
            box->close();
        }
        finished.clear(), failed.clear();
    }
    EXPECT_EQ(server.requestCount("/page") + server.requestCount("/missing"), 2u);
    detail.setDetailItem(article("Shared", "https://example.org/a%20b?c=d"));
    detail.shareLink(detail.shareButton());
    auto* sheet = detail.findChild<ui::ShareSheet*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->url().toEncoded(), QByteArray("https://example.org/a%20b?c=d"));
}

TEST_F(DetailViewControllerTest, theTimeOutEndsWhenTheDocumentArrivesNotWhenItsImagesDo) {
    std::promise<void> release;
    server.serve("/article", test::Reply{200, "Text<img src=\"/slow.png\">", "text/html"});
    server.handle("/slow.png", [held = release.get_future().share()](auto&, auto& response) {
        held.wait_for(test::kEventLoopGuard);
        response.set_content("", "image/png");
    });
    // The engine starts slowly on its first page: the time-out is shortened after one.
    detail.setDetailItem(article("Warm-up", server.url("/page")));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    detail.setLoadTimeout(3s);
    QElapsedTimer sinceLoad;
    sinceLoad.start();
    detail.setDetailItem(article("Slow image", server.url("/article")));
    ASSERT_TRUE(waitUntil([&] { return server.requestCount("/slow.png") == 1; }));
    QTest::qWait(std::max(0, 3500 - int(sinceLoad.elapsed())));  // past the time-out
    release.set_value();
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 2 || failed.count() > 0; }));
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(DetailViewControllerTest, withoutAWebLinkTheDescriptionIsShownInertAndNothingIsShared) {
    server.serve("/picture.png", test::Reply{200, "", "image/png"});
    // Everything but the picture is an unplanned request, which fails the test.
    const std::string hostile = fmt::format(
        fmt::runtime(test::readFixture("reading", "hostile-description.html")), server.url(""));
    const struct {
        const char *why, *link, *title;
        std::string description;
    } rows[] = {
        {"an Atom id", "tag:example.org,2024:entry-1", "A </title><b>tag", hostile},
        {"a local file", "file:///etc/passwd", "Local", hostile},
        {"a relative text", "abc-123", "Relative", "<p>Relative</p>"},
        {"a description past the engine's 2 MB", "tag:big", "Big", std::string(3 << 20, 'x')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        finished.clear();
        detail.setDetailItem(article(row.title, row.link, row.description));
        ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
        EXPECT_EQ(detail.windowTitle(), row.title);
        EXPECT_EQ(detail.webView()->property("title").toString(), detail.windowTitle());
        EXPECT_FALSE(detail.shareButton()->isEnabled());
        detail.shareLink();
        EXPECT_EQ(detail.findChild<ui::ShareSheet*>(), nullptr);
    }
    EXPECT_GE(server.requestCount("/picture.png"), 1u);
    EXPECT_EQ(detail.requestCount(), 0);
    EXPECT_EQ(failed.count(), 0);
    detail.setDetailItem(article("No link", std::nullopt));
    EXPECT_EQ(detail.windowTitle(), "");
}

}  // namespace
}  // namespace pressling::reading
