#include "reading/MasterViewController.h"

#include "reading/ConnectionErrorAlert.h"

#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
#include "platform/KeyValueStore.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "reading/ArticleListModel.h"
#include "reading/ArticleTableViewCell.h"
#include "reading/ClipboardPasteboard.h"
#include "reading/DetailViewController.h"
#include "reading/SystemSymbols.h"
#include "reading/TrailingSwipe.h"
#include "readinglist/LinkActions.h"
#include "store/ArticleStore.h"
#include "subscriptions/StoredWebs.h"
#include "ui/AlertPresenter.h"
#include "ui/Appearance.h"
#include "ui/Localized.h"
#include "ui/NavigationController.h"
#include "ui/Platform.h"
#include "ui/PullToRefresh.h"
#include "ui/ShareSheet.h"
#include "ui/SplitViewController.h"
#include "ui/Storyboard.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGestureEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QShortcut>
#include <QTapAndHoldGesture>
#include <QToolBar>
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

const QString kFilterSymbol = QStringLiteral("line.horizontal.3.decrease.circle");
const QString kFilterFillSymbol = QStringLiteral("line.horizontal.3.decrease.circle.fill");

const QColor kLightGray(0xAA, 0xAA, 0xAA);

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
      refreshControl_(new QToolButton(this)),
      leftBarButton_(new QToolButton(this)),
      searchField_(new QLineEdit(this)),
      filterButton_(new QToolButton(this)),
      toolbar_(new QToolBar(this)),
      reloadAction_(new QAction(Localized::tr("Reload data"), this)),
      manageFeedsAction_(new QAction(Localized::tr("Manage feeds"), this)),
      findAction_(new QAction(Localized::tr("Search"), this)),
      addToReadingListAction_(
          new QAction(systemSymbol("eyeglasses"), Localized::tr("Add to Reading List"), this)),
      copyAction_(new QAction(systemSymbol("doc.on.doc.fill"), Localized::tr("Copy"), this)) {
    setObjectName("MasterViewController");
    refreshOptions_.articleStore = &store_;
    ClipboardPasteboard::install();

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
    // The search field: every change of its text searches again. Escape clears it and goes
    // back to the list.
    searchField_->setObjectName("searchField");
    searchField_->setPlaceholderText(Localized::tr("Search"));
    searchField_->setClearButtonEnabled(true);
    searchField_->installEventFilter(this);
    connect(searchField_, &QLineEdit::textChanged, this, [this] { updatePredicate(searchText()); });
    filterButton_->setObjectName("filterButton");
    filterButton_->setAutoRaise(true);
    filterButton_->setIcon(systemSymbol(kFilterSymbol));
    filterButton_->setToolTip(Localized::tr("Filter"));
    connect(filterButton_, &QToolButton::clicked, this, [this] { filter(filterButton_); });
    leftBarButton_->setObjectName("leftBarButton");
    leftBarButton_->setAutoRaise(true);
    leftBarButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    leftBarButton_->hide();
    barLayout->addWidget(leftBarButton_);
    barLayout->addWidget(title);
    barLayout->addSpacing(8);
    barLayout->addWidget(searchField_, 1);
    barLayout->addWidget(filterButton_);
    barLayout->addWidget(addFeed);
    barLayout->addWidget(refreshControl_);
    connect(refreshControl_, &QToolButton::clicked, this, &MasterViewController::handleRefresh);

    // The commands. Window-wide, so that they work wherever the focus is in the window, with
    // or without a menu bar to show them.
    reloadAction_->setObjectName("reloadAction");
    reloadAction_->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F5)});
    connect(reloadAction_, &QAction::triggered, this, &MasterViewController::loadData);
    manageFeedsAction_->setObjectName("manageFeedsAction");
    manageFeedsAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(manageFeedsAction_, &QAction::triggered, this, &MasterViewController::showLinks);
    findAction_->setObjectName("findAction");
    findAction_->setShortcut(QKeySequence::Find);
    connect(findAction_, &QAction::triggered, this, [this] {
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    });
    const auto currentArticle = [this] { return model_->articleAt(tableView_->currentIndex()); };
    addToReadingListAction_->setObjectName("addToReadingListAction");
    addToReadingListAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(addToReadingListAction_, &QAction::triggered, this, [currentArticle] {
        if (auto article = currentArticle()) addToReadingList(*article);
    });
    copyAction_->setObjectName("copyAction");
    copyAction_->setShortcut(QKeySequence::Copy);
    connect(copyAction_, &QAction::triggered, this, [currentArticle] {
        if (auto article = currentArticle()) copyLink(*article);
    });
    for (QAction* action : {reloadAction_, manageFeedsAction_, findAction_}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    // On the list only: elsewhere Ctrl+C copies what the search field or the page selects.
    for (QAction* action : {addToReadingListAction_, copyAction_}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        tableView_->addAction(action);
    }

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
    // Context menus: a right click reaches the viewport, the menu key the view; Shift+F10 and a
    // long press (touch screens) open the same menu.
    tableView_->viewport()->installEventFilter(this);
    tableView_->viewport()->grabGesture(Qt::TapAndHoldGesture);
    // The row actions' buttons show on the row under the pointer.
    tableView_->setMouseTracking(true);
    tableView_->viewport()->setAttribute(Qt::WA_Hover);
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), tableView_);
    menuKey->setContext(Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, [this] {
        const QModelIndex current = tableView_->currentIndex();
        showContextMenu(
            current, tableView_->viewport()->mapToGlobal(tableView_->visualRect(current).center()));
    });
    // A trailing swipe on a touch screen shows the row's actions: the press has selected the
    // row, whose buttons now show, and the swipe's lift does not open it.
    auto* swipe = new TrailingSwipe(tableView_);
    connect(swipe, &TrailingSwipe::swiped, this,
            [this](QPoint at) { tableView_->setCurrentIndex(tableView_->indexAt(at)); });
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
    // The toolbar's three items: a flexible space, the status, a flexible space.
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(24, 24));
    const auto flexibleSpace = [this] {
        auto* space = new QWidget(toolbar_);
        space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        return space;
    };
    toolbar_->addWidget(flexibleSpace());
    toolbar_->addWidget(infoView_);
    toolbar_->addWidget(flexibleSpace());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(tableView_, 1);
    layout->addWidget(toolbar_);

    loadData();

    auto& center = NotificationCenter::defaultCenter();
    const auto onMainQueue = NotificationCenter::Delivery::mainQueue;
    willUpdateWebObserver_ =
        center.addObserver(std::string(kWillUpdateWebNotification), std::nullopt, onMainQueue,
                           [this](const Notification& note) { updateList(note); });
    willRemoveWebObserver_ =
        center.addObserver(std::string(kWillRemoveWebNotification), std::nullopt, onMainQueue,
                           [this](const Notification& note) { updateList(note); });

    selectFeedObserver_ =
        center.addObserver(std::string(kSelectFeedNotification), std::nullopt, onMainQueue,
                           [this](const Notification& note) { sideBarFilter(note); });
    if (ui::isPhone()) {
        // The toolbar's menu takes the filter button's place.
        filterButton_->hide();
        buildFilterMenu();
        manageFeedsAction_->setIcon(QIcon::fromTheme("view-list-details"));
        toolbar_->addAction(manageFeedsAction_);
    }

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
    updatePredicate(searchText());
}

void MasterViewController::updatePredicate(const std::optional<std::string>& text) {
    ArticlePredicate predicate;
    if (text && !text->empty()) predicate.search = *text;
    if (filter_) predicate.blogLinkEquals = *filter_;
    const bool narrowed = predicate.search || predicate.blogLinkEquals;
    model_->fetchedResultsController().setPredicate(narrowed ? std::optional(predicate)
                                                             : std::nullopt);
    refetchKeepingSelection();
}

std::optional<std::string> MasterViewController::searchText() const {
    if (searchField_->text().isEmpty()) return std::nullopt;
    return searchField_->text().toStdString();
}

KeyValueStore& MasterViewController::listStore() const {
    return refreshOptions_.listStore != nullptr ? *refreshOptions_.listStore
                                                : KeyValueStore::defaultStore();
}

void MasterViewController::sideBarFilter(const Notification& notification) {
    const auto* path = notification.objectAs<IndexPath>();
    if (path == nullptr) return;
    if (path->section == 0) {
        setFilter(std::nullopt);
        return;
    }
    const std::vector<Web> webs = loadWebs(listStore());
    if (path->row < 1 || path->row > webs.size()) {
        log::warning("SelectFeed: row " + std::to_string(path->row) +
                     " names no subscription; the filter stays as it is");
        return;
    }
    setFilter(webs[path->row - 1].url);
}

void MasterViewController::filter(QToolButton* sender) {
    auto* sheet = new QMenu(this);
    sheet->setObjectName("filterSheet");
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<QToolButton> button(sender);
    for (const Web& web : loadWebs(listStore())) {
        sheet->addAction(QString::fromStdString(web.title), this, [this, button, url = web.url] {
            setFilter(url);
            if (button) button->setIcon(systemSymbol(kFilterFillSymbol));
        });
    }
    sheet->addSeparator();
    sheet->addAction(Localized::tr("Cancel"), this, [this, button] {
        setFilter(std::nullopt);
        if (button) button->setIcon(systemSymbol(kFilterSymbol));
    });
    sheet->popup(sender->mapToGlobal(QPoint(0, sender->height())));
}

void MasterViewController::buildFilterMenu() {
    const std::vector<Web> webs = loadWebs(listStore());
    auto* button = new QAction(systemSymbol(kFilterSymbol), QString(), toolbar_);
    button->setObjectName("filterMenuItem");
    auto* menu = new QMenu(this);
    menu->setObjectName("filterMenu");
    connect(button, &QObject::destroyed, menu, &QObject::deleteLater);
    const auto setItemImage = [this](const QString& symbol) {
        if (!toolbar_->actions().isEmpty())
            toolbar_->actions().first()->setIcon(systemSymbol(symbol));
    };
    QAction* cancel = menu->addAction(Localized::tr("Cancel"), this, [this, setItemImage] {
        setFilter(std::nullopt);
        setItemImage(kFilterSymbol);
    });
    ui::setDestructive(*cancel);  // the one choice that takes the narrowing away
    for (auto web = webs.rbegin(); web != webs.rend(); ++web) {
        menu->addAction(QString::fromStdString(web->title), this,
                        [this, setItemImage, url = web->url] {
                            setFilter(url);
                            setItemImage(kFilterFillSymbol);
                        });
    }
    button->setMenu(menu);
    const QList<QAction*> items = toolbar_->actions();
    if (items.size() > 3) {
        toolbar_->insertAction(items.first(), button);
        toolbar_->removeAction(items.first());
        items.first()->deleteLater();
    } else {
        toolbar_->insertAction(items.isEmpty() ? nullptr : items.first(), button);
    }
    if (auto* tool = qobject_cast<QToolButton*>(toolbar_->widgetForAction(button))) {
        tool->setPopupMode(QToolButton::InstantPopup);
    }
}

QMenu* MasterViewController::contextMenu(const QModelIndex& index) {
    auto article = model_->articleAt(index);
    if (!article) return nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName("contextMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(systemSymbol("eyeglasses"), Localized::tr("Add to Reading List"), this,
                    [article] { addToReadingList(*article); });
    menu->addAction(systemSymbol("doc.on.doc.fill"), Localized::tr("Copy"), this,
                    [article] { copyLink(*article); });
    if (article->link) {
        menu->addAction(systemSymbol("square.and.arrow.up"), Localized::tr("Share"), this,
                        [this, row = QPersistentModelIndex(index)] { shareLink(row); });
    }
    return menu;
}

void MasterViewController::showContextMenu(const QModelIndex& index, const QPoint& globalPosition) {
    if (QMenu* menu = contextMenu(index)) menu->popup(globalPosition);
}

void MasterViewController::shareLink(const QModelIndex& index) {
    // Anchored to the row, and only while the row is on screen.
    const QRect row = tableView_->visualRect(index);
    if (!index.isValid() || !row.intersects(tableView_->viewport()->rect())) return;
    const QString link = index.data(ArticleListModel::LinkRole).toString();
    if (link.isEmpty()) return;
    auto* sheet = new ui::ShareSheet(QUrl::fromEncoded(link.toUtf8()), this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->popup(tableView_->viewport()->mapToGlobal(row.bottomLeft()));
}

void MasterViewController::setLeftBarButtonItem(QAction* action) {
    leftBarButton_->setDefaultAction(action);
    const auto follow = [this, action] { leftBarButton_->setVisible(action->isVisible()); };
    connect(action, &QAction::changed, leftBarButton_, follow);
    follow();
}

void MasterViewController::showLinks() { ui::Storyboard::performSegue("showLinks", this); }

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
        refetchKeepingSelection();
    }
    if (ui::isPhone()) buildFilterMenu();
    loadData();
}

void MasterViewController::finishRefresh(std::size_t failures, const RefreshOutcome& outcome) {
    setRefreshing(false);
    infoLabel_->setText(Localized::tr("Updated at") + ' ' + model_->dateFormatter().time(now()));
    if (failures > 0) {
        setLabelColor(detailInfoLabel_, ui::systemRed());
        detailInfoLabel_->setText(Localized::tr("feeds with errors", nullptr, int(failures)));
    }
    if (outcome.lastError && failures == outcome.count) {
        setLabelColor(detailInfoLabel_, ui::systemRed());
        detailInfoLabel_->setText(Localized::tr("No internet connection"));
        ui::presentAlert(this, Alert{kErrorTitle,
                                     kConnectionMessage,
                                     {AlertAction{kOkey, AlertAction::Style::defaultStyle}}});
    } else if (outcome.savesFailed()) {
        // Articles came in but did not reach the store: the count shown would be a claim.
        setLabelColor(detailInfoLabel_, ui::systemRed());
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

void MasterViewController::refetchKeepingSelection() {
    std::vector<std::pair<IndexPath, std::int64_t>> kept;
    for (const QModelIndex& index : tableView_->selectionModel()->selectedIndexes()) {
        const auto path = model_->indexPath(index);
        const auto article = model_->articleAt(index);
        if (path && article) kept.emplace_back(*path, article->objectID);
    }
    (void)model_->refetch();  // a failure leaves the list as it was
    for (const auto& [path, objectID] : kept) {
        const QModelIndex index = model_->indexForPath(path);
        const auto article = model_->articleAt(index);
        if (article && article->objectID == objectID) {
            tableView_->selectionModel()->select(index, QItemSelectionModel::Select);
        }
    }
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

bool MasterViewController::takeRowActionClick(const QMouseEvent& mouse) {
    const QPoint at = mouse.position().toPoint();
    const QModelIndex index = tableView_->indexAt(at);
    int action = -1;
    if (index.isValid() && !model_->isSection(index) && mouse.button() == Qt::LeftButton) {
        for (const auto candidate : {ArticleTableViewCell::RowAction::addToReadingList,
                                     ArticleTableViewCell::RowAction::copy}) {
            if (ArticleTableViewCell::actionButtonRect(tableView_->visualRect(index), candidate)
                    .contains(at))
                action = int(candidate);
        }
    }
    if (mouse.type() != QEvent::MouseButtonRelease) {
        // A finger hovers over nothing: to a touch only the selected row shows its buttons, as
        // it was when the finger went down (the press is what selects a row).
        const bool touch = mouse.pointingDevice() != nullptr &&
                           mouse.pointingDevice()->type() == QInputDevice::DeviceType::TouchScreen;
        const bool shown = !touch || tableView_->selectionModel()->isSelected(index);
        pressedRowAction_ = shown ? action : -1;
        return pressedRowAction_ != -1;
    }
    if (pressedRowAction_ == -1) return false;
    const bool sameButton = action == pressedRowAction_;
    pressedRowAction_ = -1;
    if (!sameButton) return true;
    if (auto article = model_->articleAt(index)) {
        if (action == int(ArticleTableViewCell::RowAction::copy)) {
            copyLink(*article);
        } else {
            addToReadingList(*article);
        }
    }
    return true;
}

bool MasterViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tableView_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            showDetail(tableView_->currentIndex());
            return true;
        }
    }
    if (watched == searchField_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        searchField_->clear();
        tableView_->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (event->type() == QEvent::ContextMenu) {
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (watched == tableView_->viewport() && request->reason() == QContextMenuEvent::Mouse) {
            const QModelIndex index = tableView_->indexAt(request->pos());
            if (index.isValid()) tableView_->setCurrentIndex(index);
            showContextMenu(index, request->globalPos());
            return true;
        }
        if (watched == tableView_ && request->reason() == QContextMenuEvent::Keyboard) {
            const QModelIndex current = tableView_->currentIndex();
            showContextMenu(current, tableView_->viewport()->mapToGlobal(
                                         tableView_->visualRect(current).center()));
            return true;
        }
    }
    if (watched == tableView_->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick) &&
        takeRowActionClick(*static_cast<QMouseEvent*>(event))) {
        return true;
    }
    if (watched == tableView_->viewport() && event->type() == QEvent::Gesture) {
        auto* gestures = static_cast<QGestureEvent*>(event);
        if (auto* hold = static_cast<QTapAndHoldGesture*>(gestures->gesture(Qt::TapAndHoldGesture));
            hold != nullptr && hold->state() == Qt::GestureFinished) {
            const QPoint global = hold->position().toPoint();
            showContextMenu(tableView_->indexAt(tableView_->viewport()->mapFromGlobal(global)),
                            global);
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
