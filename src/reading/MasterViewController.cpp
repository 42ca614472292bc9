#include "reading/MasterViewController.h"

#include "reading/ConnectionErrorAlert.h"

#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "reading/ArticleListModel.h"
#include "reading/ArticleTableViewCell.h"
#include "reading/DetailViewController.h"
#include "store/ArticleStore.h"
#include "ui/AlertPresenter.h"
#include "ui/Localized.h"
#include "ui/NavigationController.h"
#include "ui/PullToRefresh.h"
#include "ui/SplitViewController.h"
#include "ui/Storyboard.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QShortcut>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace pressling::reading {
namespace {

using ui::Localized;

const QColor kLightGray(0xAA, 0xAA, 0xAA);
const QColor kRed(0xFF, 0x3B, 0x30);

void setLabelColor(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

Date now() {
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now());
}

// Without its articles the list has nothing to show; carrying on would only hide the cause.
[[noreturn]] void stopWithUnresolvedError(const StoreError& error) {
    log::error("Unresolved error " + std::string(error.description()) + ", " + error.message);
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

}  // namespace

MasterViewController::MasterViewController(ArticleStore& store, RefreshOptions refreshOptions,
                                           QWidget* parent)
    : QWidget(parent),
      store_(store),
      refreshOptions_(refreshOptions),
      tableView_(new QTreeView(this)),
      infoView_(new QWidget(this)),
      infoLabel_(new QLabel(infoView_)),
      detailInfoLabel_(new QLabel(infoView_)),
      refreshControl_(new QToolButton(this)) {
    setObjectName("MasterViewController");
    refreshOptions_.articleStore = &store_;

    auto created = ArticleListModel::create(store_, nullptr);
    if (!created) stopWithUnresolvedError(created.error());
    model_ = std::move(*created);

    // The bar above the list: the application's name and the refresh control.
    auto* bar = new QWidget(this);
    bar->setObjectName("navigationBar");
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(12, 4, 6, 4);
    auto* title = new QLabel(QStringLiteral("Pressling"), bar);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    title->setFont(titleFont);
    refreshControl_->setObjectName("refreshControl");
    refreshControl_->setAutoRaise(true);
    refreshControl_->setIcon(QIcon::fromTheme("view-refresh"));
    if (refreshControl_->icon().isNull()) refreshControl_->setText(QStringLiteral("⟳"));
    refreshControl_->setToolTip(Localized::tr("Reload data"));
    auto* addFeed = new QToolButton(bar);
    addFeed->setObjectName("addFeedButton");
    addFeed->setAutoRaise(true);
    addFeed->setText(QStringLiteral("+"));
    addFeed->setToolTip(Localized::tr("Add Feed…"));
    connect(addFeed, &QToolButton::clicked, this,
            [this] { ui::Storyboard::performSegue("addLink", this); });
    barLayout->addWidget(title);
    barLayout->addStretch();
    barLayout->addWidget(addFeed);
    barLayout->addWidget(refreshControl_);
    connect(refreshControl_, &QToolButton::clicked, this, &MasterViewController::handleRefresh);
    auto* reload = new QShortcut(this);
    reload->setKeys({QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F5)});
    reload->setContext(Qt::WindowShortcut);
    connect(reload, &QShortcut::activated, this, &MasterViewController::loadData);

    // The list.
    tableView_->setObjectName("tableView");
    tableView_->setModel(model_.get());
    tableView_->setItemDelegate(new ArticleTableViewCell(tableView_));
    tableView_->setHeaderHidden(true);
    tableView_->setRootIsDecorated(false);
    tableView_->setIndentation(0);
    tableView_->setItemsExpandable(false);
    tableView_->setExpandsOnDoubleClick(false);
    tableView_->setUniformRowHeights(true);
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setFrameShape(QFrame::NoFrame);
    tableView_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tableView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The cell draws its own selection band, and no frame marks the current row: a row is
    // highlighted only when it is selected.
    QPalette listPalette = tableView_->palette();
    listPalette.setColor(QPalette::Highlight, Qt::transparent);
    tableView_->setPalette(listPalette);
    // No current row until the user picks one: the view would otherwise take the first article
    // as it gets the focus, and the first arrow press would go past it.
    const auto startWithoutCurrentRow = [this] {
        tableView_->expandAll();
        tableView_->setCurrentIndex(QModelIndex());
    };
    startWithoutCurrentRow();
    connect(model_.get(), &QAbstractItemModel::modelReset, tableView_, startWithoutCurrentRow);
    connect(model_.get(), &QAbstractItemModel::rowsInserted, tableView_,
            [this](const QModelIndex& parent, int first, int last) {
                if (parent.isValid()) return;
                for (int row = first; row <= last; ++row) tableView_->expand(model_->index(row, 0));
            });
    // A mouse opens a row by its click alone: the view's activated signal also follows a double
    // click (after its first click) and would open the article twice. The keyboard's Return and
    // Enter are taken in eventFilter.
    connect(tableView_, &QTreeView::clicked, this, &MasterViewController::showDetail);
    tableView_->installEventFilter(this);
    auto* pull = new ui::PullToRefresh(tableView_);
    connect(pull, &ui::PullToRefresh::refreshRequested, this, &MasterViewController::handleRefresh);

    // The status at the bottom.
    infoView_->setObjectName("infoView");
    auto* infoLayout = new QVBoxLayout(infoView_);
    infoLayout->setContentsMargins(0, 4, 0, 6);
    infoLayout->setSpacing(1);
    infoLabel_->setObjectName("infoLabel");
    detailInfoLabel_->setObjectName("detailInfoLabel");
    for (QLabel* label : {infoLabel_, detailInfoLabel_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setTextFormat(Qt::PlainText);
        infoLayout->addWidget(label);
    }
    QFont smaller = detailInfoLabel_->font();
    smaller.setPointSizeF(smaller.pointSizeF() * 0.85);
    detailInfoLabel_->setFont(smaller);
    auto* toolbar = new QWidget(this);
    toolbar->setObjectName("toolbar");
    auto* toolbarLayout = new QHBoxLayout(toolbar);
    toolbarLayout->setContentsMargins(8, 0, 8, 0);
    toolbarLayout->addStretch();
    toolbarLayout->addWidget(infoView_);
    toolbarLayout->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(tableView_, 1);
    layout->addWidget(toolbar);

    loadData();

    auto& center = NotificationCenter::defaultCenter();
    const auto onMainQueue = NotificationCenter::Delivery::mainQueue;
    willUpdateWebObserver_ =
        center.addObserver(std::string(kWillUpdateWebNotification), std::nullopt, onMainQueue,
                           [this](const Notification& note) { updateList(note); });
    willRemoveWebObserver_ =
        center.addObserver(std::string(kWillRemoveWebNotification), std::nullopt, onMainQueue,
                           [this](const Notification& note) { updateList(note); });

    showArticleCount();
    connect(model_.get(), &ArticleListModel::contentChanged, this,
            &MasterViewController::showArticleCount);

    objectsDidChangeObserver_ =
        center.addObserver(std::string(kObjectsDidChangeNotification), std::nullopt, onMainQueue,
                           [this](const Notification& note) { noteInsertedArticles(note); });
    willEnterForegroundObserver_ =
        center.addObserver(std::string(kWillEnterForegroundNotification), std::nullopt, onMainQueue,
                           [this](const Notification&) { loadData(); });
}

MasterViewController::~MasterViewController() {
    // The view goes before the model it shows.
    tableView_->setModel(nullptr);
}

void MasterViewController::setFilter(std::optional<std::string> filter) {
    if (filter == filter_) return;
    filter_ = std::move(filter);
    auto& controller = model_->fetchedResultsController();
    std::optional<ArticlePredicate> predicate;
    if (filter_) predicate = ArticlePredicate::feed(*filter_);
    controller.setPredicate(predicate);
    (void)model_->refetch();  // a failure leaves the list as it was
}

void MasterViewController::loadData() {
    QPointer<MasterViewController> self(this);
    mainQueue().async([self] {
        if (self) self->infoLabel_->setText(Localized::tr("Loading..."));
    });
    model_->clearLastArticles();
    ++refreshesInFlight_;

    // Incremented by the refresh's workers, several at once; read once the run has completed.
    auto failures = std::make_shared<std::atomic<std::size_t>>(0);
    refreshFeeds(
        [failures](FeedResult result) {
            if (!result) failures->fetch_add(1, std::memory_order_relaxed);
        },
        [failures, self](const RefreshOutcome& outcome) {
            if (!self) return;
            --self->refreshesInFlight_;
            self->finishRefresh(failures->load(), outcome);
        },
        refreshOptions_);
}

void MasterViewController::handleRefresh() {
    setRefreshing(true);
    loadData();
}

void MasterViewController::updateList(const Notification& notification) {
    if (notification.name == kWillRemoveWebNotification) {
        // Removing a feed deletes its articles straight in the store; the model must read the
        // results again or it would show rows that are gone.
        const auto selected = tableView_->selectionModel()->selectedIndexes();
        std::vector<IndexPath> paths;
        for (const QModelIndex& index : selected) {
            if (auto path = model_->indexPath(index)) paths.push_back(*path);
        }
        (void)model_->refetch();
        for (const IndexPath& path : paths) {
            const QModelIndex index = model_->indexForPath(path);
            if (index.isValid()) {
                tableView_->selectionModel()->select(index, QItemSelectionModel::Select);
            }
        }
    }
    loadData();
}

void MasterViewController::finishRefresh(std::size_t failures, const RefreshOutcome& outcome) {
    setRefreshing(false);
    infoLabel_->setText(Localized::tr("Updated at") + ' ' + model_->dateFormatter().time(now()));
    if (failures > 0) {
        setLabelColor(detailInfoLabel_, kRed);
        detailInfoLabel_->setText(Localized::tr("feeds with errors", nullptr, int(failures)));
    }
    if (outcome.lastError && failures == outcome.count) {
        setLabelColor(detailInfoLabel_, kRed);
        detailInfoLabel_->setText(Localized::tr("No internet connection"));
        ui::presentAlert(this, Alert{kErrorTitle,
                                     kConnectionMessage,
                                     {AlertAction{kOkey, AlertAction::Style::defaultStyle}}});
    } else if (outcome.savesFailed()) {
        // Articles came in but did not reach the store: the count shown would be a claim.
        setLabelColor(detailInfoLabel_, kRed);
        detailInfoLabel_->setText(Localized::tr("Articles could not be saved"));
    } else if (model_->fetchedObjectCount() == 0 && !filter_) {
        ui::Storyboard::performSegue("showInfo", this);
    }
    emit refreshFinished();
}

void MasterViewController::articlesMayHaveBeenDeleted() { model_->refetchIfChanged(); }

void MasterViewController::noteInsertedArticles(const Notification& notification) {
    if (const auto* change = notification.objectAs<ObjectsDidChange>()) {
        for (const BlogPost& post : change->inserted) {
            if (post.link) model_->appendLastArticle(post.link->absoluteString());
        }
    }
    reloadKeepingSelection();
}

void MasterViewController::reloadKeepingSelection() {
    // The rows stay where they are, and with them the selection: only their contents are
    // read again.
    model_->reloadData();
}

void MasterViewController::showArticleCount() {
    setLabelColor(detailInfoLabel_, kLightGray);
    detailInfoLabel_->setText(QString::number(model_->fetchedObjectCount()) + ' ' +
                              Localized::tr("articles loaded"));
}

void MasterViewController::setRefreshing(bool refreshing) {
    refreshControl_->setEnabled(!refreshing);
}

DetailViewController* MasterViewController::detailViewController() const {
    for (QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* split = qobject_cast<ui::SplitViewController*>(widget)) {
            auto* navigation =
                qobject_cast<ui::NavigationController*>(split->secondaryViewController());
            if (navigation == nullptr) return nullptr;
            return qobject_cast<DetailViewController*>(navigation->topViewController());
        }
    }
    return nullptr;
}

void MasterViewController::showDetail(const QModelIndex& index) {
    if (!index.isValid() || model_->isSection(index)) return;
    model_->hideNewMarker(index);
    emit articleChosen(index);
    DetailViewController* detail = detailViewController();
    if (detail == nullptr) return;
    auto article = model_->articleAt(index);
    if (!article) return;
    detail->setDetailItem(std::move(article));
    for (QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* split = qobject_cast<ui::SplitViewController*>(widget)) {
            split->showDetail();
            break;
        }
    }
}

bool MasterViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tableView_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            showDetail(tableView_->currentIndex());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MasterViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    for (QWidget* widget = parentWidget(); widget != nullptr; widget = widget->parentWidget()) {
        if (auto* split = qobject_cast<ui::SplitViewController*>(widget)) {
            if (split->isCollapsed()) tableView_->clearSelection();
            break;
        }
    }
}

}  // namespace pressling::reading
