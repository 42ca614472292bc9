#include "app/AddRSSTableViewController.h"

#include "app/RSSTableViewCell.h"
#include "app/ScreenPresenter.h"
#include "flows/AddFeed.h"
#include "platform/Log.h"
#include "ui/Localized.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace pressling::app {

using ui::Localized;

AddRSSTableViewController::AddRSSTableViewController(KeyValueStore& listStore, QWidget* parent,
                                                     Search search)
    : QDialog(parent),
      listStore_(listStore),
      search_(std::move(search)),
      searchField_(new QLineEdit(this)),
      addButton_(new QToolButton(this)),
      tableView_(new QListWidget(this)),
      background_(new QLabel(tableView_->viewport())) {
    setObjectName("AddRSSTableViewController");
    setWindowTitle(Localized::tr("Add Feed"));
    resize(520, 600);

    searchField_->setObjectName("searchField");
    searchField_->setPlaceholderText(Localized::tr("Search"));
    searchField_->setClearButtonEnabled(true);
    addButton_->setObjectName("addButton");
    addButton_->setText("+");
    addButton_->setToolTip(Localized::tr("Add a feed by its address"));
    auto* searchBar = new QHBoxLayout;
    searchBar->addWidget(searchField_, 1);
    searchBar->addWidget(addButton_);

    tableView_->setObjectName("tableView");
    tableView_->setSelectionMode(QAbstractItemView::SingleSelection);
    tableView_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The message behind the rows fills the empty list.
    background_->setObjectName("backgroundMessage");
    background_->setAlignment(Qt::AlignCenter);
    background_->setWordWrap(true);
    background_->setForegroundRole(QPalette::PlaceholderText);
    auto* behind = new QVBoxLayout(tableView_->viewport());
    behind->setContentsMargins(24, 24, 24, 24);
    behind->addWidget(background_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* done = buttons->addButton(Localized::tr("Done"), QDialogButtonBox::AcceptRole);
    done->setObjectName("doneButton");
    done->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(searchBar);
    layout->addWidget(tableView_, 1);
    layout->addWidget(buttons);

    connect(searchField_, &QLineEdit::textChanged, this,
            &AddRSSTableViewController::updateSearchResults);
    connect(addButton_, &QToolButton::clicked, this, &AddRSSTableViewController::addNewRSS);
    connect(tableView_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { didSelectRow(tableView_->row(item)); });
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    updateBackgroundMessage(true);
}

AddRSSTableViewController* AddRSSTableViewController::present(KeyValueStore& listStore,
                                                              QWidget* source) {
    auto* screen = new AddRSSTableViewController(listStore, source->window());
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->setWindowModality(Qt::WindowModal);
    screen->open();
    return screen;
}

QString AddRSSTableViewController::backgroundMessage() const { return background_->text(); }

void AddRSSTableViewController::updateSearchResults(const QString& text) {
    const unsigned long generation = ++searchGeneration_;
    if (text.isEmpty()) {
        showRows({});
        updateBackgroundMessage(true);
        return;
    }
    QPointer<AddRSSTableViewController> self(this);
    search_(text.toStdString(),
            [self, generation](std::expected<std::vector<RSSData>, CatalogError> found) {
                if (self.isNull() || generation != self->searchGeneration_) return;
                if (!found) {
                    log::error("Catalog search failed: " + found.error().message());
                    return;
                }
                self->showRows(std::move(*found));
                self->updateBackgroundMessage(false);
            });
}

void AddRSSTableViewController::showRows(std::vector<RSSData> rows) {
    rsss_ = std::move(rows);
    tableView_->clear();
    for (const RSSData& feed : rsss_) {
        auto* item = new QListWidgetItem(tableView_);
        auto* cell = new RSSTableViewCell;
        cell->configure(feed);
        item->setSizeHint(cell->sizeHint());
        tableView_->setItemWidget(item, cell);
    }
}

void AddRSSTableViewController::updateBackgroundMessage(bool searching) {
    QString text;
    if (rsss_.empty()) {
        text = searching
                   ? Localized::tr("Enter text to start searching")
                   : Localized::tr("There are no RSS in our list, try to add new it manually");
    }
    background_->setText(text);
    background_->setVisible(!text.isEmpty());
}

void AddRSSTableViewController::didSelectRow(int row) {
    if (row < 0 || std::size_t(row) >= rsss_.size()) return;
    subscribeTo(rsss_[std::size_t(row)].url);
    tableView_->clearSelection();
}

QDialog* AddRSSTableViewController::addNewRSS() {
    auto* alert = new QDialog(this);
    alert->setObjectName("addAlert");
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowTitle(Localized::tr("New RRS feed"));
    auto* title = new QLabel(alert->windowTitle(), alert);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* field = new QLineEdit(alert);
    field->setObjectName("urlField");
    field->setPlaceholderText(Localized::tr("Enter RSS URL"));
    field->setInputMethodHints(Qt::ImhUrlCharactersOnly);
    field->setMinimumWidth(320);
    auto* buttons = new QDialogButtonBox(alert);
    QPushButton* subscribeButton =
        buttons->addButton(Localized::tr("Subscribe"), QDialogButtonBox::AcceptRole);
    subscribeButton->setObjectName("subscribeButton");
    subscribeButton->setDefault(true);
    buttons->addButton(Localized::tr("Cancel"), QDialogButtonBox::RejectRole)
        ->setObjectName("cancelButton");
    auto* layout = new QVBoxLayout(alert);
    layout->addWidget(title);
    layout->addWidget(field);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, alert, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, alert, [this, alert, field] {
        alert->accept();
        // Text that is no address at all is ignored; one without a scheme goes to the check,
        // which says why it is no feed.
        if (const auto url = Url::parse(field->text().toStdString())) subscribeTo(*url);
    });
    alert->setWindowModality(Qt::WindowModal);
    alert->open();
    return alert;
}

void AddRSSTableViewController::subscribeTo(const Url& url) {
    QPointer<QWidget> self(this);
    subscribe(
        url,
        [self]() -> std::shared_ptr<SubscribePresenter> {
            if (self.isNull() || !self->isVisible()) return nullptr;
            return std::make_shared<ScreenPresenter>(self);
        },
        listStore_);
}

}  // namespace pressling::app
