// Alerts as message boxes, and the share sheet: the link must leave the application exactly as
// the feed wrote it, escapes included, whether copied or mailed.

#include "support/QtTestSupport.h"
#include "ui/AlertPresenter.h"
#include "ui/ShareSheet.h"

#include <gtest/gtest.h>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QUrlQuery>

namespace pressling::ui {
namespace {

TEST(AlertPresenterTest, showsTitleMessageAndButtonsInOrderAndClosesWithAnyButton) {
    QWidget window;
    window.show();
    QMessageBox* box =
        presentAlert(&window, Alert{"Error",
                                    "It failed.",
                                    {AlertAction{"Okey", AlertAction::Style::defaultStyle},
                                     AlertAction{"Cancel", AlertAction::Style::cancel}}});
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isVisible());
    EXPECT_EQ(box->text(), "Error");
    EXPECT_EQ(box->informativeText(), "It failed.");
    const auto buttons = box->buttons();
    ASSERT_EQ(buttons.size(), 2);
    QStringList titles;
    for (auto* button : buttons) titles << button->text();
    EXPECT_TRUE(titles.contains("Okey"));
    EXPECT_EQ(box->escapeButton()->text(), "Cancel");

    QPointer<QMessageBox> watched(box);
    for (auto* button : buttons) {
        if (button->text() == "Okey") button->click();
    }
    EXPECT_TRUE(test::waitUntil([&] { return watched.isNull(); }));
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST(ShareSheetTest, copiesTheEncodedLinkAsTextAndAsAUriList) {
    QWidget window;
    const QUrl link = QUrl::fromEncoded("https://example.org/ma%C3%B1ana?a=1&b=%2F");
    ShareSheet sheet(link, &window);
    sheet.copyLink();
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(copied, nullptr);
    EXPECT_EQ(copied->text(), "https://example.org/ma%C3%B1ana?a=1&b=%2F");
    ASSERT_EQ(copied->urls().size(), 1);
    EXPECT_EQ(copied->urls()[0].toEncoded(),
              QByteArray("https://example.org/ma%C3%B1ana?a=1&b=%2F"));
}

TEST(ShareSheetTest, mailsAndOpensTheLinkUnchanged) {
    QWidget window;
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    const QByteArray encoded("https://example.org/ma%C3%B1ana?a=1&b=2");
    ShareSheet sheet(QUrl::fromEncoded(encoded), &window);
    sheet.sendByEmail();
    sheet.openInBrowser();
    QDesktopServices::unsetUrlHandler("mailto");
    QDesktopServices::unsetUrlHandler("https");

    ASSERT_EQ(catcher.opened.size(), 2);
    const QUrl mail = catcher.opened[0];
    EXPECT_EQ(mail.scheme(), "mailto");
    // The mail client decodes the body once and must find the link as the feed wrote it.
    const QString body = QUrlQuery(mail).queryItemValue("body", QUrl::FullyDecoded);
    EXPECT_EQ(body, QString::fromLatin1(encoded));
    EXPECT_EQ(catcher.opened[1].toEncoded(), encoded);
}

}  // namespace
}  // namespace pressling::ui

#include "AlertAndShareTest.moc"
