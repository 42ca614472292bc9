#include "reading/ReadingListViewController.h"

#include "ui/Localized.h"
#include "ui/WebLink.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pressling::reading {
namespace {

using ui::Localized;

constexpr int kUrlRole = Qt::UserRole + 1;

}  // namespace

ReadingListViewController::ReadingListViewController(ReadingList list, QWidget* parent)
    : QWidget(parent, Qt::Window),
      list_(std::move(list)),
      tableView_(new QTreeWidget(this)),
      problemLabel_(new QLabel(this)),
      openButton_(new QPushButton(Localized::tr("Open"), this)),
      removeButton_(new QPushButton(Localized::tr("Remove"), this)) {
    setObjectName("ReadingListViewController");
    setWindowTitle(Localized::tr("Reading List"));
    resize(640, 420);
    tableView_->setObjectName("tableView");
    tableView_->setRootIsDecorated(false);
    tableView_->setUniformRowHeights(true);
    tableView_->setHeaderLabels(
        {Localized::tr("Title"), Localized::tr("Feed"), Localized::tr("Added")});
    tableView_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tableView_->header()->setStretchLastSection(false);
    problemLabel_->setObjectName("problemLabel");
    problemLabel_->setWordWrap(true);
    problemLabel_->setTextFormat(Qt::PlainText);
    problemLabel_->hide();
    openButton_->setObjectName("openButton");
    removeButton_->setObjectName("removeButton");
    openButton_->setDefault(true);

    connect(openButton_, &QPushButton::clicked, this, &ReadingListViewController::openSelected);
    connect(removeButton_, &QPushButton::clicked, this, &ReadingListViewController::removeSelected);
    connect(tableView_, &QTreeWidget::itemActivated, this,
            &ReadingListViewController::openSelected);
    const auto enableButtons = [this] {
        const bool chosen = tableView_->currentItem() != nullptr;
        openButton_->setEnabled(chosen);
        removeButton_->setEnabled(chosen);
    };
    connect(tableView_, &QTreeWidget::currentItemChanged, this, enableButtons);
    enableButtons();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(removeButton_);
    buttons->addWidget(openButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(problemLabel_);
    layout->addWidget(tableView_, 1);
    layout->addLayout(buttons);
}

ReadingListViewController* ReadingListViewController::present(QWidget* source) {
    QWidget* window = source->window();
    auto* shown =
        window->findChild<ReadingListViewController*>(QString(), Qt::FindDirectChildrenOnly);
    if (shown == nullptr) {
        auto list = ReadingList::defaultReadingList();
        // Without a data folder there is no list to show; the window says so.
        shown = new ReadingListViewController(list ? *list : ReadingList({}), window);
        if (!list) shown->showProblem(list.error());
    }
    shown->show();
    shown->raise();
    shown->activateWindow();
    return shown;
}

void ReadingListViewController::reload() {
    if (list_.file().empty()) return;
    auto items = list_.items();
    tableView_->clear();
    if (!items) {
        showProblem(items.error());
        return;
    }
    problemLabel_->hide();
    const QLocale locale;
    for (const ReadingListItem& item : *items) {
        const auto added =
            QDateTime::fromMSecsSinceEpoch(item.dateAdded.time_since_epoch().count());
        auto* row = new QTreeWidgetItem(tableView_, {QString::fromStdString(item.title),
                                                     QString::fromStdString(item.previewText),
                                                     locale.toString(added, QLocale::ShortFormat)});
        row->setData(0, kUrlRole, QString::fromStdString(item.url));
        row->setToolTip(0, QString::fromStdString(item.url));
    }
    tableView_->resizeColumnToContents(1);
    tableView_->resizeColumnToContents(2);
}

void ReadingListViewController::openSelected() {
    const QTreeWidgetItem* item = tableView_->currentItem();
    if (item == nullptr) return;
    const QUrl url = QUrl::fromEncoded(item->data(0, kUrlRole).toString().toUtf8());
    if (ui::isWebLink(url)) QDesktopServices::openUrl(url);
}

void ReadingListViewController::removeSelected() {
    const QTreeWidgetItem* item = tableView_->currentItem();
    if (item == nullptr) return;
    if (auto removed = list_.removeItem(item->data(0, kUrlRole).toString().toStdString());
        !removed) {
        showProblem(removed.error());
        return;
    }
    reload();
}

void ReadingListViewController::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    reload();
}

void ReadingListViewController::showProblem(const ReadingListError& error) {
    problemLabel_->setText(QString::fromStdString(error.message));
    problemLabel_->show();
}

}  // namespace pressling::reading
