#include "reading/ClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

namespace pressling::reading {

void ClipboardPasteboard::setContents(const std::optional<Url>& url,
                                      const std::optional<std::string>& string) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!url && !string) {
        clipboard->clear();
        return;
    }
    auto* data = new QMimeData();
    if (url) data->setUrls({QUrl::fromEncoded(QByteArray::fromStdString(url->absoluteString()))});
    if (string) data->setText(QString::fromStdString(*string));
    clipboard->setMimeData(data);
}

void ClipboardPasteboard::install() {
    static ClipboardPasteboard clipboard;
    installGeneralPasteboard(&clipboard);
}

}  // namespace pressling::reading
