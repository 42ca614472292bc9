#include "ui/ShareSheet.h"

#include "ui/Localized.h"
#include "ui/WebLink.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrlQuery>

namespace pressling::ui {

ShareSheet::ShareSheet(QUrl url, QWidget* parent) : QMenu(parent), url_(std::move(url)) {
    setObjectName("shareSheet");
    addAction(QIcon::fromTheme("edit-copy"), Localized::tr("Copy Link"), this,
              &ShareSheet::copyLink);
    addAction(QIcon::fromTheme("internet-web-browser"), Localized::tr("Open in Browser"), this,
              &ShareSheet::openInBrowser);
    addAction(QIcon::fromTheme("mail-send"), Localized::tr("Send by E-mail"), this,
              &ShareSheet::sendByEmail);
    // An Atom id or a javascript:, file: or data: URI is not a link to hand on: on the
    // clipboard it would be pasted as one, and the desktop would open or run it.
    if (!isWebLink(url_)) {
        for (QAction* action : actions()) action->setEnabled(false);
    }
}

void ShareSheet::copyLink() {
    if (!isWebLink(url_)) return;
    auto* data = new QMimeData();
    data->setUrls({url_});
    data->setText(QString::fromLatin1(url_.toEncoded()));
    QGuiApplication::clipboard()->setMimeData(data);
}

void ShareSheet::openInBrowser() {
    if (isWebLink(url_)) QDesktopServices::openUrl(url_);
}

void ShareSheet::sendByEmail() {
    if (!isWebLink(url_)) return;
    QUrl mail("mailto:");
    QUrlQuery query;
    // The link must survive the trip through the mailto URL unchanged: encode it fully.
    query.addQueryItem("body", QString::fromLatin1(
                                   QUrl::toPercentEncoding(QString::fromLatin1(url_.toEncoded()))));
    mail.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    QDesktopServices::openUrl(mail);
}

}  // namespace pressling::ui
