#include "app/SubscriptionCommands.h"

#include "app/AddRSSTableViewController.h"
#include "app/ScreenPresenter.h"
#include "flows/AddFeed.h"
#include "platform/DispatchGroup.h"
#include "platform/GlobalQueue.h"
#include "subscriptions/Opml.h"
#include "subscriptions/StoredWebs.h"
#include "ui/AlertPresenter.h"
#include "ui/Localized.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

#include <algorithm>
#include <mutex>

namespace pressling::app {
namespace {

using ui::Localized;

// What the checks of one import write and its report reads; shared by every check, since the
// window may close before they end.
struct Import {
    explicit Import(std::vector<OpmlFeed> list) : feeds(std::move(list)), failures(feeds.size()) {}
    const std::vector<OpmlFeed> feeds;
    std::mutex mutex;
    std::vector<std::string> failures;  // by feed; empty for a feed that was added
    DispatchGroup group;
};

// Why the feed was not imported, or "" when the list holds it now. addRSS also succeeds when a
// subscription of the same title has another address, so the list itself says.
std::string importFeed(const OpmlFeed& feed, KeyValueStore& listStore) {
    const auto url = Url::parse(feed.xmlUrl);
    if (!url || !url->isHttpOrHttps()) return "not an http or https address";
    if (auto added = addRSS(*url, listStore); !added) return added.error().message;
    const auto webs = readWebs(listStore);
    if (!webs) return webs.error();
    const bool listed = std::ranges::any_of(
        *webs, [&](const Web& web) { return web.url == url->absoluteString(); });
    return listed ? "" : "a subscription of the same title has another address";
}

constexpr const char* kOpmlFilter = QT_TRANSLATE_NOOP("Pressling", "OPML files (*.opml *.xml)");

}  // namespace

SubscriptionCommands::SubscriptionCommands(KeyValueStore& listStore, QWidget* window)
    : QObject(window), listStore_(listStore), window_(window) {
    addFeed_ = new QAction(Localized::tr("Add Feed…"), this);
    addFeed_->setObjectName("addFeedAction");
    import_ = new QAction(Localized::tr("Import Subscriptions…"), this);
    import_->setObjectName("importAction");
    export_ = new QAction(Localized::tr("Export Subscriptions…"), this);
    export_->setObjectName("exportAction");

    connect(addFeed_, &QAction::triggered, this, [this] {
        if (window_) AddRSSTableViewController::present(listStore_, window_);
    });
    connect(import_, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getOpenFileName(window_, Localized::tr("Import Subscriptions…"), QString(),
                                         Localized::key(kOpmlFilter));
        if (!path.isEmpty()) importFile(path);
    });
    connect(export_, &QAction::triggered, this, [this] {
        const QString path =
            QFileDialog::getSaveFileName(window_, Localized::tr("Export Subscriptions…"),
                                         "subscriptions.opml", Localized::key(kOpmlFilter));
        if (!path.isEmpty()) exportFile(path);
    });
}

void SubscriptionCommands::importFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showError(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return;
    }
    auto feeds = readOpml(file.readAll().toStdString());
    if (!feeds) {
        showError(QStringLiteral("%1: %2").arg(path, QString::fromStdString(feeds.error())));
        return;
    }
    const auto batch = std::make_shared<Import>(std::move(*feeds));
    auto presenter = std::make_shared<ScreenPresenter>(window_);
    presenter->checkStarted();
    KeyValueStore& listStore = listStore_;
    for (std::size_t i = 0; i < batch->feeds.size(); ++i) {
        batch->group.enter();
        globalAsync([batch, i, &listStore] {
            std::string failure = importFeed(batch->feeds[i], listStore);
            {
                std::lock_guard lock(batch->mutex);
                batch->failures[i] = std::move(failure);
            }
            batch->group.leave();
        });
    }
    QPointer<SubscriptionCommands> self(this);
    batch->group.notify([self, batch, presenter] {
        presenter->checkEnded();
        QStringList failed;
        for (std::size_t i = 0; i < batch->feeds.size(); ++i) {
            if (batch->failures[i].empty()) continue;
            const OpmlFeed& feed = batch->feeds[i];
            failed << QStringLiteral("%1: %2").arg(
                QString::fromStdString(feed.title.empty() ? feed.xmlUrl : feed.title),
                QString::fromStdString(batch->failures[i]));
        }
        const int total = int(batch->feeds.size());
        const int added = total - int(failed.size());
        if (self.isNull() || self->window_.isNull()) return;
        auto* box =
            new QMessageBox(QMessageBox::Information, Localized::tr("Import Subscriptions…"),
                            Localized::tr("Added %1 of %2 feeds").arg(added).arg(total),
                            QMessageBox::Ok, self->window_);
        box->setObjectName("importReport");
        box->setAttribute(Qt::WA_DeleteOnClose);
        if (!failed.isEmpty()) {
            box->setInformativeText(Localized::tr("These could not be added:") + "\n" +
                                    failed.join('\n'));
        }
        box->setWindowModality(Qt::WindowModal);
        box->open();
        emit self->importFinished(added, total);
    });
}

void SubscriptionCommands::exportFile(const QString& path) {
    const auto webs = readWebs(listStore_);
    if (!webs) {
        showError(QString::fromStdString(webs.error()));
        return;
    }
    QSaveFile file(path);
    const QByteArray document = QByteArray::fromStdString(writeOpml(*webs));
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() ||
        !file.commit()) {
        showError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
}

void SubscriptionCommands::showError(const QString& reason) {
    if (window_.isNull()) return;
    QMessageBox* box = ui::presentAlert(window_, Alert{"Error", reason.toStdString(), {}});
    box->setObjectName("commandError");
}

}  // namespace pressling::app
