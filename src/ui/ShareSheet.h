#pragma once

#include <QMenu>
#include <QUrl>

namespace pressling::ui {

// What the system's share sheet offers for one link: copy it, open it in the browser, or send
// it by e-mail. A menu built for one URL; pop it up at the control that asked for it. The
// link is always handed on encoded (QUrl::toEncoded), never in its decoded display form, so a
// link with escapes reaches the clipboard and the mail as the feed wrote it. Only an http(s)
// link is handed on: for any other URI the actions are disabled and do nothing. Main thread.
class ShareSheet final : public QMenu {
    Q_OBJECT

public:
    ShareSheet(QUrl url, QWidget* parent);

    const QUrl& url() const { return url_; }

    // The three actions, for the menu and for tests.
    void copyLink();
    void openInBrowser();
    void sendByEmail();

private:
    QUrl url_;
};

}  // namespace pressling::ui
