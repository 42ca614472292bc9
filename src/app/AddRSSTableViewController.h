#pragma once

#include "feedparse/RSSData.h"
#include "subscriptions/CKFeed.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;

namespace pressling {
class KeyValueStore;
}

namespace pressling::app {

// The catalog and manual-add screen ("AddRSSTableViewController"), opened as a sheet over a
// window: a search field that searches the feed catalog on every change of its text, the
// matches one per row (RSSTableViewCell: name over description, in the catalog's order), and
// a message behind the rows when there are none: "Enter text to start searching" while the
// field is empty, "There are no RSS in our list, try to add new it manually" when a search
// found nothing. Only the search of the field's current text may set the rows: a search that
// completes after the text changed again is dropped, and emptying the field empties the rows
// at once. A failed search only logs. Tapping a row subscribes to its feed (subscribe, which
// shows the outcome over this screen); the add button (addNewRSS:) opens the "New RRS feed"
// alert, where a typed address is subscribed to; Done closes the screen.
//
// Main thread. listStore must outlive the screen and every check it started.
class AddRSSTableViewController final : public QDialog {
    Q_OBJECT

public:
    // How the screen searches: CKFeed::search, or a stand-in with the same contract.
    using Search = std::function<void(std::string text, CKFeed::SearchCompletion completion)>;

    explicit AddRSSTableViewController(KeyValueStore& listStore, QWidget* parent = nullptr,
                                       Search search = &CKFeed::search);

    // Opens the screen as a window-modal sheet over source's window; it deletes itself when
    // closed.
    static AddRSSTableViewController* present(KeyValueStore& listStore, QWidget* source);

    const std::vector<RSSData>& rsss() const { return rsss_; }
    QLineEdit* searchField() const { return searchField_; }
    QListWidget* tableView() const { return tableView_; }
    QToolButton* addButton() const { return addButton_; }
    // The text behind the rows; empty while there are rows.
    QString backgroundMessage() const;

    // The search for text, as on every change of the search field.
    void updateSearchResults(const QString& text);
    // A tap on row: subscribes to its feed and deselects it.
    void didSelectRow(int row);
    // The add button's action: opens the manual-add alert and returns it (it deletes itself
    // when closed).
    QDialog* addNewRSS();

private:
    void showRows(std::vector<RSSData> rows);
    void updateBackgroundMessage(bool searching);
    void subscribeTo(const Url& url);

    KeyValueStore& listStore_;
    Search search_;
    std::vector<RSSData> rsss_;
    // Counts changes of the search text: a completion for an older count is stale.
    unsigned long searchGeneration_ = 0;

    QLineEdit* searchField_;
    QToolButton* addButton_;
    QListWidget* tableView_;
    QLabel* background_;
};

}  // namespace pressling::app
