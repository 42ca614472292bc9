// Alerts as message boxes, and the share sheet: a web link must leave the application exactly
// as the feed wrote it, escapes included, and any other URI must not leave it at all.

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

TEST(AlertPresenterTest, showsTextsAndButtonsInOrderAndEscapePicksTheCancelButton) {
    QWidget window;
    window.show();
    const Alert alert{"Error",
                      "It failed.",
                      {AlertAction{"Okey", AlertAction::Style::defaultStyle},
                       AlertAction{"Remove", AlertAction::Style::destructive},
                       AlertAction{"Cancel", AlertAction::Style::cancel}}};
    for (const char* choice : {"Okey", "Cancel"}) {
        QPointer<QMessageBox> box = presentAlert(&window, alert);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->text(), "Error");
        EXPECT_EQ(box->informativeText(), "It failed.");
        QStringList titles;
        for (auto* button : box->buttons()) titles << button->text();
        EXPECT_EQ(titles, QStringList({"Okey", "Remove", "Cancel"}));
        QString chosen;
        QObject::connect(box, &QMessageBox::buttonClicked,
                         [&](QAbstractButton* button) { chosen = button->text(); });
        if (choice == QString("Okey"))
            box->buttons()[0]->click();
        else
            QTest::keyClick(box, Qt::Key_Escape);
        EXPECT_EQ(chosen, choice);
        EXPECT_TRUE(test::waitUntil([&] { return box.isNull(); }));
    }
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

TEST(ShareSheetTest, handsOnAWebLinkEncodedAndNothingElse) {
    const QStringList schemes{"mailto", "https", "http", "file", "javascript", "data", "tag"};
    UrlCatcher catcher;
    for (const QString& scheme : schemes) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    const struct {
        const char* why;
        QByteArray link;
        bool shared;
    } rows[] = {
        {"a web link with escapes", "https://example.org/ma%C3%B1ana?a=1&b=%2F", true},
        {"an Atom id", "tag:example.org,2024:entry-1", false},
        {"a script", "javascript:alert(1)", false},
        {"a local file", "file:///etc/passwd", false},
        {"a data URL", "data:text/html,%3Cb%3Ex", false},
        {"a web scheme without a host", "http:relative", false},
    };
    QWidget window;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        QGuiApplication::clipboard()->setText("before");
        catcher.opened.clear();
        ShareSheet sheet(QUrl::fromEncoded(row.link), &window);
        for (const QAction* action : sheet.actions()) EXPECT_EQ(action->isEnabled(), row.shared);
        sheet.copyLink();
        sheet.sendByEmail();
        sheet.openInBrowser();
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        if (!row.shared) {
            EXPECT_EQ(copied->text(), "before");
            EXPECT_TRUE(catcher.opened.isEmpty());
            continue;
        }
        EXPECT_EQ(copied->text(), QString::fromLatin1(row.link));
        ASSERT_EQ(copied->urls().size(), 1);
        EXPECT_EQ(copied->urls()[0].toEncoded(), row.link);
        ASSERT_EQ(catcher.opened.size(), 2);
        // The mail client decodes the body once and must find the link as the feed wrote it.
        EXPECT_EQ(QUrlQuery(catcher.opened[0]).queryItemValue("body", QUrl::FullyDecoded),
                  QString::fromLatin1(row.link));
        EXPECT_EQ(catcher.opened[1].toEncoded(), row.link);
    }
    for (const QString& scheme : schemes) QDesktopServices::unsetUrlHandler(scheme);
}

}  // namespace
}  // namespace pressling::ui

#include "AlertAndShareTest.moc"
