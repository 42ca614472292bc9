#include "app/LinksTableViewController.h"

#include "app/LinkTableViewCell.h"
#include "app/RemoveShownWeb.h"
#include "app/StoredWebsWatcher.h"
#include "flows/AddFeed.h"
#include "flows/RemoveFeed.h"
#include "reading/SystemSymbols.h"
#include "reading/TrailingSwipe.h"
#include "subscriptions/StoredWebs.h"
#include "ui/Appearance.h"
#include "ui/Localized.h"
#include "ui/Storyboard.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace pressling::app {

using ui::Localized;

LinksTableViewController::LinksTableViewController(KeyValueStore& listStore,
                                                   ArticleStore& articleStore, QWidget* parent)
    : QDialog(parent),
      listStore_(listStore),
      articleStore_(articleStore),
      tableView_(new QListWidget(this)),
      addButton_(new QToolButton(this)) {
    setObjectName("LinksTableViewController");
    setWindowTitle(Localized::tr("Manage feeds"));
    resize(560, 600);

    auto* title = new QLabel(windowTitle(), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    addButton_->setObjectName("addButton");
    addButton_->setText("+");
    addButton_->setToolTip(Localized::tr("Add Feed…"));
    connect(addButton_, &QToolButton::clicked, this, &LinksTableViewController::add);
    auto* bar = new QHBoxLayout;
    bar->addWidget(title, 1);
    bar->addWidget(addButton_);

    tableView_->setObjectName("tableView");
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tableView_->setContextMenuPolicy(Qt::DefaultContextMenu);
    tableView_->installEventFilter(this);
    tableView_->viewport()->installEventFilter(this);
    auto* swipe = new reading::TrailingSwipe(tableView_);
    connect(swipe, &reading::TrailingSwipe::swiped, this, [this](QPoint at) {
        const QModelIndex index = tableView_->indexAt(at);
        if (QMenu* menu = deleteMenu(index.isValid() ? index.row() : -1)) {
            menu->popup(
                tableView_->viewport()->mapToGlobal(tableView_->visualRect(index).topRight()));
        }
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* done = buttons->addButton(Localized::tr("Done"), QDialogButtonBox::AcceptRole);
    done->setObjectName("doneButton");
    done->setAutoDefault(false);
    connect(done, &QPushButton::clicked, this, &LinksTableViewController::dismiss);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(tableView_, 1);
    layout->addWidget(buttons);

    auto& center = NotificationCenter::defaultCenter();
    const auto onMainQueue = NotificationCenter::Delivery::mainQueue;
    const auto reload = [this](const Notification&) { reloadLinks(); };
    willRemoveWebObserver_ = center.addObserver(std::string(kWillRemoveWebNotification),
                                                std::nullopt, onMainQueue, reload);
    willUpdateWebObserver_ = center.addObserver(std::string(kWillUpdateWebNotification),
                                                std::nullopt, onMainQueue, reload);
    didChangeObserver_ = center.addObserver(std::string(kStoredWebsDidChangeNotification),
                                            std::nullopt, onMainQueue, reload);
    reloadLinks();
}

LinksTableViewController* LinksTableViewController::present(KeyValueStore& listStore,
                                                            ArticleStore& articleStore,
                                                            QWidget* source) {
    auto* screen = new LinksTableViewController(listStore, articleStore, source->window());
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->setWindowModality(Qt::WindowModal);
    screen->open();
    return screen;
}

void LinksTableViewController::reloadLinks() {
    links_ = loadWebs(listStore_);
    tableView_->clear();
    for (const Web& web : links_) {
        auto* item = new QListWidgetItem(tableView_);
        auto* cell = new LinkTableViewCell;
        cell->configure(web);
        item->setSizeHint(cell->sizeHint());
        tableView_->setItemWidget(item, cell);
    }
}

QMenu* LinksTableViewController::deleteMenu(int row) {
    if (row < 0 || std::size_t(row) >= links_.size()) return nullptr;
    auto* menu = new QMenu(this);
    menu->setObjectName("deleteMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* remove =
        menu->addAction(reading::systemSymbol("trash", Qt::red), Localized::tr("Delete"));
    ui::setDestructive(*remove);
    connect(remove, &QAction::triggered, this, [this, row] { deleteRow(row); });
    return menu;
}

void LinksTableViewController::deleteRow(int row) {
    if (row < 0 || std::size_t(row) >= links_.size()) return;
    // A row already gone from the stored list only needs the rows read again.
    if (removeShownWeb(links_, std::size_t(row), listStore_, articleStore_) ==
        ShownWebRemoval::gone) {
        reloadLinks();
    }
}

void LinksTableViewController::add() { ui::Storyboard::performSegue("addLink", this); }

void LinksTableViewController::dismiss() { close(); }

bool LinksTableViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tableView_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) &&
            tableView_->currentRow() >= 0) {
            deleteRow(tableView_->currentRow());
            return true;
        }
    } else if (event->type() == QEvent::ContextMenu &&
               (watched == tableView_ || watched == tableView_->viewport())) {
        const auto* context = static_cast<QContextMenuEvent*>(event);
        int row = tableView_->currentRow();
        if (context->reason() != QContextMenuEvent::Keyboard) {
            row = tableView_->indexAt(tableView_->viewport()->mapFromGlobal(context->globalPos()))
                      .row();
        }
        if (QMenu* menu = deleteMenu(row)) menu->popup(context->globalPos());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace pressling::app
