// The one file that includes Qt WebEngine: it is slow to compile.
#include "reading/DetailViewController.h"

#include "reading/ConnectionErrorAlert.h"

#include "ui/AlertPresenter.h"
#include "ui/Localized.h"
#include "ui/ShareSheet.h"

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

namespace pressling::reading {
namespace {

using ui::Localized;


// Chromium's net::ERR_ABORTED: a load replaced by another or stopped, not a failure.
constexpr int kErrorAborted = -3;

bool isWebAddress(const QUrl& url) {
    return url.isValid() && (url.scheme() == "http" || url.scheme() == "https");
}

// A page whose main frame goes only to http and https addresses: a feed's link, or a link on
// its page, must not open local files or hand the engine another scheme. Links that ask for a
// new window open in the user's browser.
class ArticlePage final : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        return !isMainFrame || isWebAddress(url);
    }

    QWebEnginePage* createWindow(WebWindowType) override {
        // The engine tells this page where the new window was going, then it is dropped.
        auto* catcher = new QWebEnginePage(this);
        connect(catcher, &QWebEnginePage::urlChanged, catcher, [catcher](const QUrl& url) {
            if (isWebAddress(url)) QDesktopServices::openUrl(url);
            catcher->deleteLater();
        });
        return catcher;
    }
};

}  // namespace

struct DetailViewController::Impl {
    QWebEngineView* webView = nullptr;
    QLabel* placeholder = nullptr;
    QStackedLayout* stack = nullptr;
    QTimer timeout;
    bool loading = false;
    QUrl requested;
};

DetailViewController::DetailViewController(QWidget* parent)
    : QWidget(parent),
      impl_(std::make_unique<Impl>()),
      activityIndicator_(new QProgressBar(this)),
      shareButton_(new QToolButton(this)) {
    setObjectName("DetailViewController");

    impl_->webView = new QWebEngineView(this);
    impl_->webView->setObjectName("webView");
    auto* page = new ArticlePage(impl_->webView);
    // A failed load keeps what the page showed, instead of the engine's error page.
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
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
                if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain) {
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
        impl_->placeholder->setText(detailItem_ ? Localized::tr("This article has no page")
                                                : Localized::tr("No article selected"));
        impl_->stack->setCurrentWidget(impl_->placeholder);
        setWindowTitle(QString());
        // A feed's link may be any URI reference (javascript:, file:, data:, a relative
        // text); such an address is never loaded, and the reader is told it cannot be shown.
        if (detailItem_ && detailItem_->link) showLoadError();
    }
    configureView();
}

bool DetailViewController::hasWebLink() const {
    return detailItem_ && detailItem_->link &&
           isWebAddress(QUrl::fromEncoded(
               QByteArray::fromStdString(detailItem_->link->absoluteString()), QUrl::StrictMode));
}

void DetailViewController::configureView() {
    shareButton_->setEnabled(detailItem_ && detailItem_->link);
    if (!hasWebLink()) return;
    const QUrl url = QUrl::fromEncoded(
        QByteArray::fromStdString(detailItem_->link->absoluteString()), QUrl::StrictMode);

    QWebEngineHttpRequest request(url);
    impl_->requested = url;
    impl_->loading = true;
    ++requestCount_;
    impl_->stack->setCurrentWidget(impl_->webView);
    impl_->webView->load(request);
    impl_->timeout.start();
    activityIndicator_->show();
    setWindowTitle(QString::fromStdString(detailItem_->title.value_or(std::string())));
}

void DetailViewController::shareLink(QWidget* sender) {
    if (!detailItem_ || !detailItem_->link) return;
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
