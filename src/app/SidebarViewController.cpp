#include "app/SidebarViewController.h"

#include "app/AddRSSTableViewController.h"
#include "app/RemoveShownWeb.h"
#include "app/SidebarListCell.h"
#include "app/StoredWebsWatcher.h"
#include "flows/AddFeed.h"
#include "flows/LastRefreshErrors.h"
#include "flows/RemoveFeed.h"
#include "reading/MasterViewController.h"
#include "reading/SystemSymbols.h"
#include "reading/TrailingSwipe.h"
#include "subscriptions/StoredWebs.h"
#include "ui/Appearance.h"
#include "ui/Localized.h"
#include "ui/SplitViewController.h"

#include <QAbstractListModel>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace pressling::app {

using reading::MasterViewController;
using reading::systemSymbol;
using ui::Localized;

// The entries as one flat list: row 0 "All", row 1 the header, row k + 1 the k-th source.
class SidebarViewController::Model final : public QAbstractListModel {
public:
    explicit Model(const std::vector<SidebarItem>& items) : items_(items) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(items_.size());
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        if (items_[index.row()].type == SidebarItemType::header) return Qt::ItemIsEnabled;
        return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const SidebarItem& item = items_[index.row()];
        switch (role) {
            case Qt::DisplayRole:
                return item.title;
            case Qt::DecorationRole:
                return item.image.isNull() ? QVariant() : item.image;
            case SidebarListCell::kHeaderRole:
                return item.type == SidebarItemType::header;
            case Qt::ToolTipRole:
                return toolTip(item);
            default:
                return {};
        }
    }
    void reset(const std::function<void()>& change) {
        beginResetModel();
        change();
        endResetModel();
    }

private:
    static QVariant toolTip(const SidebarItem& item) {
        if (!item.web || item.web->error != true) return {};
        // Failures seen by another program, or before this process started, have no reason here.
        if (const auto reason = LastRefreshErrors::shared().reason(item.web->url)) {
            return Localized::tr("The last download failed: %1")
                .arg(QString::fromStdString(*reason));
        }
        return Localized::tr("The last download failed");
    }

    const std::vector<SidebarItem>& items_;
};

SidebarViewController::SidebarViewController(KeyValueStore& listStore, ArticleStore& articleStore,
                                             QWidget* parent)
    : QWidget(parent),
      listStore_(listStore),
      articleStore_(articleStore),
      model_(std::make_unique<Model>(items_)),
      collectionView_(new QListView(this)),
      toolbar_(new QToolBar(this)),
      addSourceButton_(new QToolButton(toolbar_)) {
    setObjectName("SidebarViewController");
    setWindowTitle(Localized::tr("Links"));

    collectionView_->setObjectName("collectionView");
    collectionView_->setModel(model_.get());
    collectionView_->setItemDelegate(new SidebarListCell(collectionView_));
    collectionView_->setSelectionMode(QAbstractItemView::SingleSelection);
    collectionView_->setUniformItemSizes(true);
    collectionView_->setFrameShape(QFrame::NoFrame);
    collectionView_->setIconSize(QSize(16, 16));
    collectionView_->setContextMenuPolicy(Qt::DefaultContextMenu);
    collectionView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    collectionView_->viewport()->setAutoFillBackground(false);
    collectionView_->installEventFilter(this);
    collectionView_->viewport()->installEventFilter(this);
    // A choice by click, key or selectItem posts; choosing the same entry again after a rebuild
    // (quiet_) does not.
    connect(collectionView_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected) {
                // A click on the header selects a range that holds no selectable index.
                const QModelIndexList chosen = selected.indexes();
                if (!quiet_ && !chosen.isEmpty()) didSelect(indexPath(chosen.first()));
            });
    auto* swipe = new reading::TrailingSwipe(collectionView_);
    connect(swipe, &reading::TrailingSwipe::swiped, this, [this](QPoint at) {
        const QModelIndex index = collectionView_->indexAt(at);
        const QRect row = collectionView_->visualRect(index);
        if (QMenu* menu = trailingSwipeActions(indexPath(index))) {
            menu->popup(collectionView_->viewport()->mapToGlobal(row.topRight()));
        }
    });

    // "Add source" at the leading edge, then a flexible space.
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    addSourceButton_->setObjectName("addSourceButton");
    addSourceButton_->setText(Localized::tr("Add source"));
    addSourceButton_->setAutoRaise(true);
    connect(addSourceButton_, &QToolButton::clicked, this, [this] { presentCatalog(); });
    toolbar_->addWidget(addSourceButton_);
    auto* space = new QWidget(toolbar_);
    space->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar_->addWidget(space);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(collectionView_, 1);
    layout->addWidget(toolbar_);

    applyInitialSnapshots();

    auto& center = NotificationCenter::defaultCenter();
    const auto onMainQueue = NotificationCenter::Delivery::mainQueue;
    const auto refresh = [this](const Notification&) { refreshSources(); };
    willUpdateWebObserver_ = center.addObserver(std::string(kWillUpdateWebNotification),
                                                std::nullopt, onMainQueue, refresh);
    willRemoveWebObserver_ = center.addObserver(std::string(kWillRemoveWebNotification),
                                                std::nullopt, onMainQueue, refresh);
    didChangeObserver_ = center.addObserver(std::string(kStoredWebsDidChangeNotification),
                                            std::nullopt, onMainQueue, refresh);
}

SidebarViewController::~SidebarViewController() { collectionView_->setModel(nullptr); }

IndexPath SidebarViewController::indexPath(const QModelIndex& index) {
    if (!index.isValid() || index.row() == 0) return {0, 0};
    return {1, std::size_t(index.row() - 1)};
}

QModelIndex SidebarViewController::index(IndexPath path) const {
    const std::size_t row = path.section == 0 ? (path.row == 0 ? 0 : items_.size()) : path.row + 1;
    return row < items_.size() ? model_->index(int(row)) : QModelIndex();
}

std::optional<IndexPath> SidebarViewController::selectedIndexPath() const {
    const QModelIndexList selected = collectionView_->selectionModel()->selectedIndexes();
    if (selected.isEmpty()) return std::nullopt;
    return indexPath(selected.first());
}

bool SidebarViewController::shouldSelectItem(IndexPath path) const {
    return !(path.section == std::size_t(SidebarSection::rss) && path.row == 0) &&
           index(path).isValid();
}

void SidebarViewController::selectItem(IndexPath path) {
    if (!shouldSelectItem(path)) return;
    collectionView_->setCurrentIndex(index(path));
}

void SidebarViewController::didSelect(IndexPath path) {
    if (!shouldSelectItem(path)) return;
    NotificationCenter::defaultCenter().post(
        std::string(MasterViewController::kSelectFeedNotification), path);
    for (QWidget* up = parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (auto* split = qobject_cast<ui::SplitViewController*>(up)) {
            split->showSupplementary();
            break;
        }
    }
}

std::vector<SidebarItem> SidebarViewController::makeSourcesSnapshot() const {
    std::vector<SidebarItem> sources;
    sources.push_back({SidebarItemType::header, Localized::tr("Sources"), {}, {}});
    const QIcon warning = systemSymbol("exclamationmark.triangle", Qt::red);
    for (Web& web : loadWebs(listStore_)) {
        QString title = QString::fromStdString(web.title);
        const QIcon image = web.error == true ? warning : QIcon();
        sources.push_back({SidebarItemType::row, std::move(title), image, std::move(web)});
    }
    return sources;
}

void SidebarViewController::refreshSources() {
    // The chosen source, to choose it again where it now stands.
    std::optional<Web> chosen;
    const std::optional<IndexPath> selected = selectedIndexPath();
    if (selected && selected->section == 1) chosen = items_[selected->row + 1].web;
    model_->reset([this] {
        items_.resize(1);  // "All" stays as it is
        for (SidebarItem& item : makeSourcesSnapshot()) items_.push_back(std::move(item));
    });
    if (!selected) return;
    const auto found = std::find_if(items_.begin() + 2, items_.end(), [&](const SidebarItem& item) {
        return chosen && item.web->url == chosen->url && item.web->title == chosen->title;
    });
    if (!chosen || found != items_.end()) {
        quiet_ = true;
        collectionView_->setCurrentIndex(model_->index(!chosen ? 0 : int(found - items_.begin())));
        quiet_ = false;
    } else {
        // The list must not stay narrowed to a feed that is no longer there.
        selectItem({0, 0});
    }
}

void SidebarViewController::applyInitialSnapshots() {
    model_->reset([this] {
        items_.clear();
        items_.push_back({SidebarItemType::row, Localized::tr("All"), {}, {}});
        for (SidebarItem& item : makeSourcesSnapshot()) items_.push_back(std::move(item));
    });
    collectionView_->scrollToTop();
    selectItem({0, 0});
}

QMenu* SidebarViewController::contextMenu(IndexPath path) { return deleteMenu(path, false); }

QMenu* SidebarViewController::trailingSwipeActions(IndexPath path) {
    return deleteMenu(path, true);
}

QMenu* SidebarViewController::deleteMenu(IndexPath path, bool thenSelectAll) {
    if (path.row == 0 || !index(path).isValid()) return nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName(thenSelectAll ? "swipeActions" : "contextMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove = menu->addAction(systemSymbol("trash", Qt::red), Localized::tr("Delete"));
    ui::setDestructive(*remove);
    connect(remove, &QAction::triggered, this, [this, path, thenSelectAll] {
        removeSource(path);
        if (thenSelectAll) applyInitialSnapshots();
    });
    return menu;
}

bool SidebarViewController::removeSource(IndexPath path) {
    if (path.section != 1 || path.row == 0 || path.row + 1 >= items_.size()) return false;
    std::vector<Web> shown;
    for (auto item = items_.begin() + 2; item != items_.end(); ++item) shown.push_back(*item->web);
    const ShownWebRemoval outcome = removeShownWeb(shown, path.row - 1, listStore_, articleStore_);
    if (outcome == ShownWebRemoval::gone) refreshSources();
    return outcome == ShownWebRemoval::removed;
}

AddRSSTableViewController* SidebarViewController::presentCatalog() {
    return AddRSSTableViewController::present(listStore_, this);
}

bool SidebarViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == collectionView_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            if (const auto path = selectedIndexPath(); path && path->section == 1) {
                removeSource(*path);
                return true;
            }
        }
    } else if (watched == collectionView_->viewport() &&
               (event->type() == QEvent::MouseButtonPress ||
                event->type() == QEvent::MouseButtonDblClick)) {
        // The header and the space below the rows are no choice: a press there must not take
        // the choice away either.
        const QModelIndex under =
            collectionView_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        if (!under.isValid() || !shouldSelectItem(indexPath(under))) return true;
    } else if (event->type() == QEvent::ContextMenu &&
               (watched == collectionView_ || watched == collectionView_->viewport())) {
        const auto* context = static_cast<QContextMenuEvent*>(event);
        const QPoint at = collectionView_->viewport()->mapFromGlobal(context->globalPos());
        QModelIndex under = collectionView_->indexAt(at);
        if (context->reason() == QContextMenuEvent::Keyboard)
            under = collectionView_->currentIndex();
        if (QMenu* menu = contextMenu(indexPath(under))) {
            menu->popup(context->globalPos());
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pressling::app
