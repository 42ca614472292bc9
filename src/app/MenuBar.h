#pragma once

#include <QList>
#include <QMenuBar>

class QAction;
class QMenu;
class QWidget;

namespace pressling::reading {
class MasterViewController;
}

namespace pressling::app {

// A window's menu bar: every command of the application, each with its shortcut, so that the
// shortcuts can be found where desktop programs keep them.
//
//   File   New Window (Ctrl+N), [the commands added by addFileCommand], Close Window (Ctrl+W),
//          Quit (Ctrl+Q)
//   Edit   Search (Ctrl+F), Copy (Ctrl+C), Add to Reading List (Ctrl+D)
//   View   Reload data (Ctrl+R, F5), Manage feeds (Ctrl+L), Reading List (Ctrl+Shift+L)
//   Help   Welcome to Pressling (F1): the information screen, with the same list
//
// The article list's commands are the list's own actions (MasterViewController), shown here.
// On a phone the bar is hidden and every shortcut still works. Main thread; it lives as long
// as its window.
class MenuBar final : public QMenuBar {
    Q_OBJECT

public:
    // Builds the bar of window, whose layout must exist (the scene has connected), for its
    // article list, with newWindowAction (the window's, not owned) first in the File menu.
    static MenuBar* install(QWidget* window, reading::MasterViewController* list,
                            QAction* newWindowAction);
    // The bar install gave window; null when there is none.
    static MenuBar* of(const QWidget* window);

    QMenu* fileMenu() const { return fileMenu_; }
    // Puts action into the File menu after New Window and the commands added before it, and
    // makes its shortcut work in the window while the bar is hidden. The action is not owned.
    void addFileCommand(QAction* action);

    // Every command of every menu, in the order the menus show them.
    QList<QAction*> commands() const;

private:
    MenuBar(QWidget* window, reading::MasterViewController* list, QAction* newWindowAction);
    QAction* addWindowCommand(QMenu* menu, const QString& text, const QKeySequence& shortcut);

    QWidget* window_;
    QMenu* fileMenu_;
    QAction* fileCommandsEnd_;  // the separator before Close Window
};

}  // namespace pressling::app
