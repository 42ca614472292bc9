// Alerts, and the share sheet: a web link leaves exactly as the feed wrote it; nothing else does.

#include "support/QtTestSupport.h"
#include "ui/AlertPresenter.h"
#include "ui/ShareSheet.h"

#include <QDesktopServices>
#include <QUrlQuery>

namespace pressling::ui {
namespace {

TEST(AlertPresenterTest, showsTextsAndButtonsInOrderAndEscapePicksTheCancelButton) {
    QWidget window;
    window.show();
    using enum AlertAction::Style;
    const Alert alert{"Error",
                      "It failed.",
                      {{"Okey", defaultStyle}, {"Remove", destructive}, {"Cancel", cancel}}};
    for (const QString choice : {"Okey", "Cancel"}) {
        QPointer<QMessageBox> box = presentAlert(&window, alert);
        QString shown = box->text() + "|" + box->informativeText();
        for (auto* button : box->buttons()) shown += "|" + button->text();
        EXPECT_EQ(shown, "Error|It failed.|Okey|Remove|Cancel");
        QString chosen;
        QObject::connect(box, &QMessageBox::buttonClicked, [&](auto* b) { chosen = b->text(); });
        choice == "Okey" ? box->buttons()[0]->click() : QTest::keyClick(box, Qt::Key_Escape);
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
    const QStringList schemes{"mailto", "https", "http", "file", "tag"};
    UrlCatcher catcher;
    for (const QString& scheme : schemes) QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    QWidget window;
    for (const QByteArray link : {"https://example.org/ma%C3%B1ana?a=1&b=%2F", "tag:a.org,2024:1",
                                  "file:///etc/passwd", "http:no-host"}) {
        SCOPED_TRACE(link.toStdString());
        const bool shared = link.startsWith("https");
        QGuiApplication::clipboard()->setText("before");
        catcher.opened.clear();
        ShareSheet sheet(QUrl::fromEncoded(link), &window);
        for (const QAction* action : sheet.actions()) EXPECT_EQ(action->isEnabled(), shared);
        sheet.copyLink();
        sheet.sendByEmail();
        sheet.openInBrowser();
        const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
        EXPECT_EQ(copied->text(), shared ? QString::fromLatin1(link) : "before");
        ASSERT_EQ(catcher.opened.size(), shared ? 2 : 0);
        if (!shared) continue;
        EXPECT_EQ(copied->urls().value(0).toEncoded(), link);
        // The mail client decodes the body once and must find the link as the feed wrote it.
        EXPECT_EQ(QUrlQuery(catcher.opened[0]).queryItemValue("body", QUrl::FullyDecoded), link);
        EXPECT_EQ(catcher.opened[1].toEncoded(), link);
    }
    for (const QString& scheme : schemes) QDesktopServices::unsetUrlHandler(scheme);
}

}  // namespace
}  // namespace pressling::ui

#include "AlertAndShareTest.moc"
