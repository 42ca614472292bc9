// The one file that includes Qt WebEngine: it is slow to compile.
#include "reading/DetailViewController.h"

#include "reading/ConnectionErrorAlert.h"

#include "ui/AlertPresenter.h"
#include "ui/Localized.h"
#include "ui/ShareSheet.h"
#include "ui/WebLink.h"

#include <QCursor>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkRequest>
#include <QProgressBar>
#include <QStackedLayout>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <utility>

namespace pressling::reading {
namespace {

using ui::isWebLink;
using ui::Localized;

// Chromium's net::ERR_ABORTED: a load replaced by another or stopped, not a failure.
constexpr int kErrorAborted = -3;

// All a description may do once shown: draw itself, its inline styles and its pictures. The
// policy comes first in the document, before anything of the feed's, and a policy the feed adds
// can only narrow it. Scripts and plugins are also switched off in the page's settings.
constexpr const char* kDescriptionPolicy =
    "default-src 'none'; img-src https: http: data:; style-src 'unsafe-inline'; "
    "base-uri 'none'; form-action 'none'";

// The engine receives set content as a data: URL of at most 2 MiB, percent-encoded, and shows
// nothing at all past that. A longer description is cut to what fits, leaving room for the
// URL's prefix.
constexpr qsizetype kMaxEncodedDocument = 2 * 1024 * 1024 - 1024;

QByteArray descriptionDocument(const QString& title, const QString& description) {
    const auto document = [&](qsizetype length) {
        // A cut must not split a UTF-16 pair.
        if (length < description.size() && length > 0 && description[length - 1].isHighSurrogate())
            --length;
        // One pass: a "%1" inside the description stays as it is.
        return QStringLiteral(
                   "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
                   "<meta http-equiv=\"Content-Security-Policy\" content=\"%1\">"
                   "<title>%2</title></head><body>%3</body></html>")
            .arg(QLatin1String(kDescriptionPolicy), title.toHtmlEscaped(), description.left(length))
            .toUtf8();
    };
    qsizetype length = description.size();
    QByteArray html = document(length);
    for (qsizetype encoded; (encoded = html.toPercentEncoding().size()) > kMaxEncodedDocument;) {
        length = std::max<qsizetype>(0, length * kMaxEncodedDocument / encoded - 16);
        html = document(length);
    }
    return html;
}

// A page whose main frame goes only to http and https addresses: a feed's link, or a link on
// its page, must not open local files or hand the engine another scheme. The one exception is
// the document this screen sets itself (an article's description), which the engine loads as a
// data: URL. Links that ask for a new window open in the user's browser.
class ArticlePage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

    void showDocument(const QByteArray& html) {
        expectingDocument_ = true;
        // No base URL: the document gets an opaque origin, with no access to files or sites.
        setContent(html, "text/html;charset=UTF-8", QUrl());
    }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        if (!isMainFrame) return true;
        if (std::exchange(expectingDocument_, false) && url.scheme() == QLatin1String("data"))
            return true;
        return isWebLink(url);
    }

    QWebEnginePage* createWindow(WebWindowType) override {
        // The engine tells this page where the new window was going, then it is dropped.
        auto* catcher = new QWebEnginePage(this);
        connect(catcher, &QWebEnginePage::urlChanged, catcher, [catcher](const QUrl& url) {
            if (isWebLink(url)) QDesktopServices::openUrl(url);
            catcher->deleteLater();
        });
        return catcher;
    }

private:
    bool expectingDocument_ = false;
};

}  // namespace

struct DetailViewController::Impl {
    QWebEngineView* webView = nullptr;
    ArticlePage* page = nullptr;
    QLabel* placeholder = nullptr;
    QStackedLayout* stack = nullptr;
    QTimer timeout;
    bool loading = false;
    bool showingDescription = false;
    QUrl requested;
};

DetailViewController::DetailViewController(QWidget* parent)
    : QWidget(parent),
      impl_(std::make_unique<Impl>()),
      activityIndicator_(new QProgressBar(this)),
      shareButton_(new QToolButton(this)) {
    setObjectName("DetailViewController");
    // loadErrorShown carries the box, also through queued connections and signal spies.
    qRegisterMetaType<QMessageBox*>();

    impl_->webView = new QWebEngineView(this);
    impl_->webView->setObjectName("webView");
    auto* page = impl_->page = new ArticlePage(impl_->webView);
    QWebEngineSettings* settings = page->settings();
    // A failed load keeps what the page showed, instead of the engine's error page.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    // Nothing on screen shows a page's icon; fetching it is a request for nothing.
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    // Pages are written for a white canvas; one that sets no background of its own would put
    // its dark text on a dark window.
    page->setBackgroundColor(Qt::white);
    impl_->webView->setPage(page);

    impl_->placeholder = new QLabel(Localized::tr("No article selected"), this);
    impl_->placeholder->setAlignment(Qt::AlignCenter);
    impl_->placeholder->setEnabled(false);
    impl_->stack = new QStackedLayout(this);
    impl_->stack->setContentsMargins(0, 0, 0, 0);
    impl_->stack->addWidget(impl_->placeholder);
    impl_->stack->addWidget(impl_->webView);

    activityIndicator_->setObjectName("activityIndicator");
    activityIndicator_->setRange(0, 0);  // busy
    activityIndicator_->setTextVisible(false);
    activityIndicator_->setFixedSize(56, 6);
    activityIndicator_->hide();

    shareButton_->setObjectName("shareButton");
    shareButton_->setAutoRaise(true);
    shareButton_->setIcon(QIcon::fromTheme("document-send", QIcon::fromTheme("emblem-shared")));
    shareButton_->setText(Localized::tr("Share"));
    shareButton_->setToolButtonStyle(shareButton_->icon().isNull() ? Qt::ToolButtonTextOnly
                                                                   : Qt::ToolButtonIconOnly);
    shareButton_->setToolTip(Localized::tr("Share"));
    shareButton_->setEnabled(false);
    connect(shareButton_, &QToolButton::clicked, this, [this] { shareLink(shareButton_); });

    impl_->timeout.setSingleShot(true);
    impl_->timeout.setInterval(kLoadTimeout);
    connect(&impl_->timeout, &QTimer::timeout, this, [this] {
        if (!impl_->loading) return;
        // The engine would wait for a server that accepted and never answers; the screen gives
        // up here. The stop reports itself as aborted, which is not a second failure.
        impl_->loading = false;
        impl_->webView->stop();
        showLoadError();
    });
    // The time-out is for a server that never sends the page. Once the document is coming in
    // (the engine reports progress only after the response has been committed), its pictures
    // and scripts take the time they take, as in any browser.
    connect(page, &QWebEnginePage::loadProgress, this, [this](int progress) {
        if (progress > 0) impl_->timeout.stop();
    });

    connect(page, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        switch (info.status()) {
            case QWebEngineLoadingInfo::LoadStartedStatus:
                return;
            case QWebEngineLoadingInfo::LoadSucceededStatus:
                if (!impl_->loading) return;
                impl_->loading = false;
                impl_->timeout.stop();
                stopActivityIndicator();
                emit navigationFinished();
                return;
            case QWebEngineLoadingInfo::LoadStoppedStatus:
                return;
            case QWebEngineLoadingInfo::LoadFailedStatus:
                if (!impl_->loading) return;
                if (info.errorDomain() != QWebEngineLoadingInfo::HttpStatusCodeDomain &&
                    info.errorCode() == kErrorAborted) {
                    return;  // replaced by the next article's load
                }
                impl_->loading = false;
                impl_->timeout.stop();
                if (impl_->showingDescription) {
                    // No connection was involved: the Internet is not to blame.
                    stopActivityIndicator();
                } else if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
                    // The server answered with a page of its own: that is content.
                    stopActivityIndicator();
                    emit navigationFinished();
                } else {
                    showLoadError();
                }
                return;
        }
    });

    configureView();
}

DetailViewController::~DetailViewController() = default;

void DetailViewController::setDetailItem(std::optional<BlogPost> item) {
    detailItem_ = std::move(item);
    if (!hasWebLink()) {
        // This screen is reused for every article: without a page of its own, the new article
        // must not appear under the previous article's page and title.
        impl_->loading = false;
        impl_->timeout.stop();
        impl_->webView->stop();
        stopActivityIndicator();
        setWindowTitle(QString());
        // A feed's link may be any URI (an Atom id such as tag: or urn:, javascript:, file:,
        // data:, a relative text). Such an address is never loaded; the article's own
        // description stands in for its page.
        if (detailItem_ && detailItem_->link && detailItem_->desc) {
            showDescription();
        } else {
            impl_->placeholder->setText(detailItem_ ? Localized::tr("This article has no page")
                                                    : Localized::tr("No article selected"));
            impl_->stack->setCurrentWidget(impl_->placeholder);
        }
    }
    configureView();
}

bool DetailViewController::hasWebLink() const {
    return detailItem_ && detailItem_->link &&
           isWebLink(QUrl::fromEncoded(
               QByteArray::fromStdString(detailItem_->link->absoluteString()), QUrl::StrictMode));
}

void DetailViewController::configureView() {
    shareButton_->setEnabled(hasWebLink());
    if (!hasWebLink()) return;
    const QUrl url = QUrl::fromEncoded(
        QByteArray::fromStdString(detailItem_->link->absoluteString()), QUrl::StrictMode);

    // The previous article's page must not go on loading: its late progress or finish would
    // be taken for this one's.
    impl_->webView->stop();
    impl_->page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, true);
    impl_->requested = url;
    impl_->loading = true;
    impl_->showingDescription = false;
    ++requestCount_;
    impl_->stack->setCurrentWidget(impl_->webView);
    impl_->webView->load(QWebEngineHttpRequest(url));
    impl_->timeout.start();
    activityIndicator_->show();
    setWindowTitle(QString::fromStdString(detailItem_->title.value_or(std::string())));
}

void DetailViewController::showDescription() {
    const QString title = QString::fromStdString(detailItem_->title.value_or(std::string()));
    impl_->page->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    impl_->loading = true;  // until the engine has drawn it, without indicator or time-out
    impl_->showingDescription = true;
    impl_->stack->setCurrentWidget(impl_->webView);
    impl_->page->showDocument(
        descriptionDocument(title, QString::fromStdString(*detailItem_->desc)));
    setWindowTitle(title);
}

void DetailViewController::shareLink(QWidget* sender) {
    if (!hasWebLink()) return;
    const QUrl url = QUrl::fromEncoded(
        QByteArray::fromStdString(detailItem_->link->absoluteString()), QUrl::TolerantMode);
    auto* sheet = new ui::ShareSheet(url, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint where =
        sender != nullptr ? sender->mapToGlobal(QPoint(0, sender->height())) : QCursor::pos();
    sheet->popup(where);
}

bool DetailViewController::isLoading() const { return impl_->loading; }

QUrl DetailViewController::requestedUrl() const { return impl_->requested; }

void DetailViewController::setLoadTimeout(std::chrono::milliseconds timeout) {
    impl_->timeout.setInterval(timeout);
}

QWidget* DetailViewController::webView() const { return impl_->webView; }

void DetailViewController::stopActivityIndicator() { activityIndicator_->hide(); }

void DetailViewController::showLoadError() {
    stopActivityIndicator();
    QMessageBox* box =
        ui::presentAlert(this, Alert{kErrorTitle,
                                     kConnectionMessage,
                                     {AlertAction{kOkey, AlertAction::Style::defaultStyle}}});
    emit loadErrorShown(box);
}

}  // namespace pressling::reading
