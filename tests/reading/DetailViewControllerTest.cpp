// The article's page in a real web engine, against servers on the loopback interface: pages
// that load, servers that refuse or never answer, a page whose images are slow, and articles
// whose link is not a web address.

#include "reading/DetailViewController.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"
#include "ui/ShareSheet.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

#include <future>

namespace pressling::reading {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

BlogPost article(const std::string& title, std::optional<std::string> link,
                 std::string description = "") {
    BlogPost post;
    post.objectID = 1;
    if (link) post.link = Url::parse(*link);
    post.title = title;
    post.desc = std::move(description);
    return post;
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

TEST_F(DetailViewControllerTest, aPageOrAnHttpErrorPageLoadsOnceAsContent) {
    for (const char* path : {"/page", "/missing"}) {
        SCOPED_TRACE(path);
        detail.setDetailItem(article(path, server.url(path)));
        EXPECT_TRUE(indicatorShown());
        EXPECT_EQ(detail.windowTitle(), path);
        ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
        finished.clear();
        EXPECT_FALSE(indicatorShown());
        EXPECT_EQ(server.requestCount(path), 1u);
    }
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(DetailViewControllerTest, aRefusedOrSilentServerStopsTheIndicatorAndAlertsOnce) {
    test::SilentServer silent;  // accepts, and never says a word
    for (const std::string& link :
         {fmt::format("http://127.0.0.1:{}/page", test::closedPort()), silent.url("/page")}) {
        SCOPED_TRACE(link);
        if (link == silent.url("/page")) detail.setLoadTimeout(300ms);
        failed.clear();
        detail.setDetailItem(article("Gone", link));
        ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
        EXPECT_FALSE(detail.isLoading());
        EXPECT_FALSE(indicatorShown());
        auto* box = failed[0][0].value<QMessageBox*>();
        EXPECT_EQ(box->text(), "Error");
        ASSERT_EQ(box->buttons().size(), 1);
        EXPECT_EQ(box->buttons()[0]->text(), "Okey");
        box->close();
    }
    QTest::qWait(200);
    EXPECT_EQ(failed.count(), 1);
}

TEST_F(DetailViewControllerTest, theTimeOutEndsWhenTheDocumentArrivesNotWhenItsImagesDo) {
    std::promise<void> release;
    server.serve("/article", test::Reply{200, "Text<img src=\"/slow.png\">", "text/html"});
    server.handle("/slow.png", [held = release.get_future().share()](auto&, auto& response) {
        held.wait_for(test::kEventLoopGuard);
        response.set_content("", "image/png");
    });
    // The engine starts slowly on its first page, and this machine may be busy: the time-out
    // is set after a first page, and leaves the document time to come.
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
        "<p>Text</p><img src=\"{0}/picture.png\"><script>document.title = 'ran'</script>"
        "<script src=\"{0}/script.js\"></script><iframe src=\"{0}/frame\"></iframe>"
        "<object data=\"{0}/plugin\"></object><link rel=\"stylesheet\" href=\"{0}/style.css\">",
        server.url(""));
    detail.setDetailItem(article("First", server.url("/page")));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    struct Row {
        const char* why;
        std::string link;
        std::string title;
        std::string description;
    };
    const Row rows[] = {
        {"an Atom id", "tag:example.org,2024:entry-1", "Tagged", hostile},
        {"a URN", "urn:uuid:60a76c80-d399-11d9-b93c-0003939e0af6", "A </title><b>URN", hostile},
        {"a script", "javascript:alert(1)", "Script", hostile},
        {"a local file", "file:///etc/passwd", "Local", "<p>Local</p>"},
        {"a relative text", "abc-123", "Relative", "<p>Relative</p>"},
        {"a description past the engine's 2 MB", "tag:big", "Big", std::string(3 << 20, 'x')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        finished.clear();
        detail.setDetailItem(article(row.title, row.link, row.description));
        ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
        EXPECT_EQ(detail.windowTitle(), QString::fromStdString(row.title));
        EXPECT_EQ(detail.webView()->property("title").toString(), detail.windowTitle());
        EXPECT_FALSE(detail.shareButton()->isEnabled());
        detail.shareLink();
        EXPECT_EQ(detail.findChild<ui::ShareSheet*>(), nullptr);
    }
    EXPECT_GE(server.requestCount("/picture.png"), 1u);
    EXPECT_EQ(server.requestCount("/page"), 1u);
    EXPECT_EQ(failed.count(), 0);

    detail.setDetailItem(article("No link", std::nullopt));
    EXPECT_EQ(detail.windowTitle(), "");
    EXPECT_FALSE(indicatorShown());
    EXPECT_FALSE(detail.shareButton()->isEnabled());
}

TEST_F(DetailViewControllerTest, sharingOffersExactlyTheArticlesLink) {
    detail.setDetailItem(article("Shared", "https://example.org/a%20b?c=d"));
    detail.shareLink(detail.shareButton());
    auto* sheet = detail.findChild<ui::ShareSheet*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->url().toEncoded(), QByteArray("https://example.org/a%20b?c=d"));
    sheet->close();
}

}  // namespace
}  // namespace pressling::reading
