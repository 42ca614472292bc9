// The article's page in a real web engine, against servers on the loopback interface: a page
// that loads, one that is refused, one whose server never answers, an HTTP error page, and
// articles whose link cannot or must not be loaded.

#include "reading/DetailViewController.h"
#include "support/LoopbackServer.h"
#include "support/QtTestSupport.h"
#include "ui/ShareSheet.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QToolButton>

namespace pressling::reading {
namespace {

using test::waitUntil;

BlogPost article(const std::string& title, std::optional<std::string> link) {
    BlogPost post;
    post.objectID = 1;
    if (link) post.link = Url::parse(*link);
    post.title = title;
    return post;
}

class DetailViewControllerTest : public ::testing::Test {
protected:
    DetailViewControllerTest() {
        server.serve(
            "/page",
            test::Reply{200, "<html><head><title>Page</title></head><body>Hello</body></html>",
                        "text/html"});
        server.serve("/missing",
                     test::Reply{404, "<html><body>Not here</body></html>", "text/html"});
        detail.resize(800, 600);
        detail.show();
    }

    test::LoopbackServer server;
    DetailViewController detail;
};

TEST_F(DetailViewControllerTest, aPageLoadsOnceWithItsTitleAndTheIndicatorStopsWhenItHasLoaded) {
    QSignalSpy finished(&detail, &DetailViewController::navigationFinished);
    QSignalSpy failed(&detail, &DetailViewController::loadErrorShown);
    detail.setDetailItem(article("An article", server.url("/page")));
    EXPECT_TRUE(detail.activityIndicator()->isVisibleTo(&detail));
    EXPECT_EQ(detail.windowTitle(), "An article");
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_FALSE(detail.activityIndicator()->isVisibleTo(&detail));
    EXPECT_FALSE(detail.isLoading());
    EXPECT_EQ(server.requestCount("/page"), 1u);
    EXPECT_EQ(failed.count(), 0);
}

TEST_F(DetailViewControllerTest, aRefusedConnectionStopsTheIndicatorAndAlertsOnce) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    QSignalSpy failed(&detail, &DetailViewController::loadErrorShown);
    detail.setDetailItem(article("Gone", fmt::format("http://127.0.0.1:{}/page", port)));
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    EXPECT_FALSE(detail.activityIndicator()->isVisibleTo(&detail));
    const auto boxes = detail.findChildren<QMessageBox*>();
    ASSERT_EQ(boxes.size(), 1);
    const QMessageBox* box = boxes[0];
    EXPECT_EQ(box->text(), "Error");
    ASSERT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->buttons()[0]->text(), "Okey");
    QTest::qWait(200);
    EXPECT_EQ(failed.count(), 1);
}

TEST_F(DetailViewControllerTest, aServerThatNeverAnswersTimesOutWithTheAlert) {
    QTcpServer silent;  // accepts, and never says a word
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> held;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = silent.nextPendingConnection()) held << socket;
    });
    detail.setLoadTimeout(std::chrono::milliseconds(300));
    QSignalSpy failed(&detail, &DetailViewController::loadErrorShown);
    detail.setDetailItem(
        article("Silent", fmt::format("http://127.0.0.1:{}/page", silent.serverPort())));
    ASSERT_TRUE(waitUntil([&] { return failed.count() == 1; }));
    EXPECT_FALSE(detail.isLoading());
    EXPECT_FALSE(detail.activityIndicator()->isVisibleTo(&detail));
    QTest::qWait(200);
    EXPECT_EQ(failed.count(), 1);
}

TEST_F(DetailViewControllerTest, anHttpErrorPageIsContentNotAFailure) {
    QSignalSpy finished(&detail, &DetailViewController::navigationFinished);
    QSignalSpy failed(&detail, &DetailViewController::loadErrorShown);
    detail.setDetailItem(article("Missing", server.url("/missing")));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_FALSE(detail.activityIndicator()->isVisibleTo(&detail));
}

TEST_F(DetailViewControllerTest, anArticleWithoutAWebLinkLoadsNothingAndClearsThePreviousPage) {
    QSignalSpy finished(&detail, &DetailViewController::navigationFinished);
    detail.setDetailItem(article("First", server.url("/page")));
    ASSERT_TRUE(waitUntil([&] { return finished.count() == 1; }));
    ASSERT_EQ(detail.requestCount(), 1);

    detail.setDetailItem(article("No link", std::nullopt));
    EXPECT_EQ(detail.requestCount(), 1);
    EXPECT_EQ(detail.windowTitle(), "");
    EXPECT_FALSE(detail.activityIndicator()->isVisibleTo(&detail));
    EXPECT_FALSE(detail.shareButton()->isEnabled());
    detail.shareLink();
    EXPECT_EQ(detail.findChild<ui::ShareSheet*>(), nullptr);

    // A feed may carry any scheme in its links; the page loads only the web's, and says so
    // with the error alert for any other.
    QSignalSpy failed(&detail, &DetailViewController::loadErrorShown);
    detail.setDetailItem(article("Local", "file:///etc/passwd"));
    detail.setDetailItem(article("Script", "javascript:alert(1)"));
    detail.setDetailItem(article("Relative", "abc-123"));
    EXPECT_EQ(detail.requestCount(), 1);
    EXPECT_EQ(detail.requestedUrl().toString(), QString::fromStdString(server.url("/page")));
    EXPECT_EQ(failed.count(), 3);
    for (auto* box : detail.findChildren<QMessageBox*>()) box->close();
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
