#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QWidget;

namespace pressling {
class KeyValueStore;
}

namespace pressling::app {

// The window's commands for subscribing, for its menu bar's "File" menu: "Add Feed…" opens the
// catalog screen as a sheet; "Import Subscriptions…" subscribes to every feed of an OPML file,
// checking them in the background (the window stays usable and shows the busy cursor) and then says
// how many were added and which failed and why; "Export Subscriptions…" writes the list as OPML,
// replacing the chosen file whole, and refuses a list that cannot be read. Main thread; owned by
// the window, listStore must outlive it and every import it started.
class SubscriptionCommands final : public QObject {
    Q_OBJECT

public:
    SubscriptionCommands(KeyValueStore& listStore, QWidget* window);

    QAction* addFeedAction() const { return addFeed_; }
    QAction* importAction() const { return import_; }
    QAction* exportAction() const { return export_; }

    // Imports the OPML file at path, as the import command does after asking for the file.
    void importFile(const QString& path);
    // Writes the list to path, as the export command does after asking for the file.
    void exportFile(const QString& path);

signals:
    // An import has ended and its report is shown: added of total feeds are in the list.
    void importFinished(int added, int total);

private:
    void showError(const QString& reason);

    KeyValueStore& listStore_;
    QPointer<QWidget> window_;
    QAction* addFeed_;
    QAction* import_;
    QAction* export_;
};

}  // namespace pressling::app
