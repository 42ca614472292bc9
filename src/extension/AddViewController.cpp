#include "extension/AddViewController.h"

#include "extension/GrabLink.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "ui/Localized.h"
#include "ui_AddViewController.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QShortcut>
#include <QUrl>

namespace pressling::extension {
namespace {

using ui::Localized;

// The helper's texts, for the translation tools; they must stay GrabLink's keys.
constexpr const char* kHelperTexts[] = {
    QT_TRANSLATE_NOOP("Pressling", "Link added"),
    QT_TRANSLATE_NOOP("Pressling",
                      "Your link have been process succesfully and it will be available in your "
                      "feed list"),
    QT_TRANSLATE_NOOP("Pressling", "RSS not found"),
    QT_TRANSLATE_NOOP("Pressling",
                      "We will check your link in order yo verify if we can support it. Maybe it "
                      "will work in the next update!"),
    QT_TRANSLATE_NOOP("Pressling", "Error"),
    QT_TRANSLATE_NOOP("Pressling", "Link is not valid"),
    QT_TRANSLATE_NOOP("Pressling", "The link could not be downloaded: %1"),
    QT_TRANSLATE_NOOP("Pressling", "The link could not be added to your feed list: %1"),
    QT_TRANSLATE_NOOP("Pressling", "No link"),
    QT_TRANSLATE_NOOP(
        "Pressling", "Drop a feed's link on this window, or start Feedgrab with one: feedgrab URL"),
    QT_TRANSLATE_NOOP("Pressling", "Loading..."),
};
static_assert(std::string_view(kHelperTexts[0]) == kLinkAddedTitle);
static_assert(std::string_view(kHelperTexts[1]) == kLinkAddedInfo);
static_assert(std::string_view(kHelperTexts[2]) == kNotAFeedTitle);
static_assert(std::string_view(kHelperTexts[3]) == kNotAFeedInfo);
static_assert(std::string_view(kHelperTexts[4]) == kErrorTitle);
static_assert(std::string_view(kHelperTexts[5]) == kLinkNotValidInfo);
static_assert(std::string_view(kHelperTexts[6]) == kDownloadFailedInfo);
static_assert(std::string_view(kHelperTexts[7]) == kListNotSavedInfo);
static_assert(std::string_view(kHelperTexts[8]) == kNoLinkTitle);
static_assert(std::string_view(kHelperTexts[9]) == kNoLinkInfo);
static_assert(std::string_view(kHelperTexts[10]) == kLoadingInfo);

// What a drop or the clipboard holds as a link: the first URL, else the text.
QString linkIn(const QMimeData& data) {
    if (data.hasUrls() && !data.urls().isEmpty()) {
        return QString::fromUtf8(data.urls().first().toEncoded());
    }
    return data.text().trimmed();
}

}  // namespace

AddViewController::AddViewController(KeyValueStore& listStore, DownloadOptions options,
                                     QWidget* parent)
    : QWidget(parent),
      ui_(std::make_unique<Ui::AddViewController>()),
      listStore_(listStore),
      options_(options) {
    ui_->setupUi(this);
    setWindowTitle(Localized::tr("Add to Pressling"));
    ui_->doneButton->setText(Localized::tr("Done"));
    ui_->titleLabel->setVisible(false);
    setAcceptDrops(true);
    connect(ui_->doneButton, &QPushButton::clicked, this, &AddViewController::done);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &AddViewController::done);
}

AddViewController::~AddViewController() = default;

QLabel* AddViewController::titleLabel() const { return ui_->titleLabel; }
QLabel* AddViewController::infoLabel() const { return ui_->infoLabel; }

void AddViewController::viewDidLoad(const std::optional<QString>& sharedLink) {
    ui_->infoLabel->setText(Localized::key(kLoadingInfo));
    if (sharedLink) {
        check(*sharedLink);
        return;
    }
    if (const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData()) {
        const QUrl url(linkIn(*clipboard), QUrl::StrictMode);
        if (url.isValid() && (url.scheme() == "http" || url.scheme() == "https")) {
            check(linkIn(*clipboard));
            return;
        }
    }
    showResult(Localized::key(kNoLinkTitle), Localized::key(kNoLinkInfo));
}

void AddViewController::check(const QString& link) {
    if (checking_) return;
    checking_ = true;
    ui_->titleLabel->setVisible(false);
    ui_->infoLabel->setText(Localized::key(kLoadingInfo));
    QPointer<AddViewController> self(this);
    globalAsync([self, link = link.toStdString(), store = &listStore_, options = options_] {
        GrabOutcome outcome = grabLink(link, *store, options);
        mainQueue().async([self, outcome = std::move(outcome)] {
            if (!self) return;
            self->checking_ = false;
            QString info = Localized::key(outcome.info);
            if (!outcome.detail.empty()) info = info.arg(QString::fromStdString(outcome.detail));
            self->showResult(Localized::key(outcome.title), info);
        });
    });
}

void AddViewController::done() { close(); }

void AddViewController::showResult(const QString& title, const QString& info) {
    ui_->titleLabel->setVisible(true);
    ui_->titleLabel->setText(title);
    ui_->infoLabel->setVisible(true);
    ui_->infoLabel->setText(info);
    emit resultShown(title, info);
}

void AddViewController::dragEnterEvent(QDragEnterEvent* event) {
    if (!checking_ && (event->mimeData()->hasUrls() || event->mimeData()->hasText())) {
        event->acceptProposedAction();
    }
}

void AddViewController::dropEvent(QDropEvent* event) {
    if (checking_) return;
    event->acceptProposedAction();
    check(linkIn(*event->mimeData()));
}

}  // namespace pressling::extension
