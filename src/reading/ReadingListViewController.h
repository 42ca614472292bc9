#pragma once

#include "readinglist/ReadingList.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace pressling::reading {

// The Reading List window: the pages kept to read later (by the list's "Add to Reading List",
// or pressling-cli reading-list add), newest first, with their feed and when they were added.
// "Open" (or a double click, or Return) opens the chosen page in the browser; "Remove" drops
// it from the list. A list that cannot be read or written says why in the window and keeps
// every entry it had. The entries are read again each time the window is shown.
// Main thread.
class ReadingListViewController final : public QWidget {
    Q_OBJECT

public:
    explicit ReadingListViewController(ReadingList list, QWidget* parent = nullptr);

    // Shows the window of source's window, making it first when there is none. Returns it.
    static ReadingListViewController* present(QWidget* source);

    QTreeWidget* tableView() const { return tableView_; }
    QLabel* problemLabel() const { return problemLabel_; }

    // Reads the entries again.
    void reload();
    void openSelected();
    void removeSelected();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showProblem(const ReadingListError& error);

    ReadingList list_;
    QTreeWidget* tableView_;
    QLabel* problemLabel_;
    QPushButton* openButton_;
    QPushButton* removeButton_;
};

}  // namespace pressling::reading
