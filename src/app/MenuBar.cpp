#include "app/MenuBar.h"

#include "reading/MasterViewController.h"
#include "reading/ReadingListViewController.h"
#include "ui/Localized.h"
#include "ui/Platform.h"
#include "ui/Storyboard.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMenu>

namespace pressling::app {

using ui::Localized;

MenuBar* MenuBar::install(QWidget* window, reading::MasterViewController* list,
                          QAction* newWindowAction) {
    Q_ASSERT(window->layout() != nullptr);
    auto* bar = new MenuBar(window, list, newWindowAction);
    window->layout()->setMenuBar(bar);
    bar->setVisible(!ui::isPhone());
    return bar;
}

MenuBar* MenuBar::of(const QWidget* window) {
    return window->findChild<MenuBar*>(QString(), Qt::FindDirectChildrenOnly);
}

MenuBar::MenuBar(QWidget* window, reading::MasterViewController* list, QAction* newWindowAction)
    : QMenuBar(window), window_(window) {
    setObjectName("menuBar");
    fileMenu_ = addMenu(Localized::tr("File"));
    fileMenu_->setObjectName("fileMenu");
    fileMenu_->addAction(newWindowAction);
    fileCommandsEnd_ = fileMenu_->addSeparator();
    connect(addWindowCommand(fileMenu_, Localized::tr("Close Window"),
                             QKeySequence(Qt::CTRL | Qt::Key_W)),
            &QAction::triggered, window_, &QWidget::close);
    connect(addWindowCommand(fileMenu_, Localized::tr("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, qApp, [] {
                QApplication::closeAllWindows();
                QApplication::quit();
            });

    QMenu* edit = addMenu(Localized::tr("Edit"));
    edit->setObjectName("editMenu");
    edit->addAction(list->findAction());
    edit->addSeparator();
    edit->addAction(list->copyAction());
    edit->addAction(list->addToReadingListAction());

    QMenu* view = addMenu(Localized::tr("View"));
    view->setObjectName("viewMenu");
    view->addAction(list->reloadAction());
    view->addAction(list->manageFeedsAction());
    view->addSeparator();
    connect(addWindowCommand(view, Localized::tr("Reading List"),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L)),
            &QAction::triggered, window_,
            [this] { reading::ReadingListViewController::present(window_); });

    QMenu* help = addMenu(Localized::tr("Help"));
    help->setObjectName("helpMenu");
    connect(
        addWindowCommand(help, Localized::tr("Welcome to Pressling"), QKeySequence::HelpContents),
        &QAction::triggered, window_,
        [this] { ui::Storyboard::performSegue("showInfo", window_); });
}

QAction* MenuBar::addWindowCommand(QMenu* menu, const QString& text, const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    // On the window as well: a hidden bar's actions have no shortcuts.
    window_->addAction(action);
    return action;
}

void MenuBar::addFileCommand(QAction* action) {
    fileMenu_->insertAction(fileCommandsEnd_, action);
    action->setShortcutContext(Qt::WindowShortcut);
    window_->addAction(action);
}

QList<QAction*> MenuBar::commands() const {
    QList<QAction*> all;
    for (const QAction* menu : actions()) {
        if (menu->menu() == nullptr) continue;
        for (QAction* action : menu->menu()->actions()) {
            if (!action->isSeparator()) all << action;
        }
    }
    return all;
}

}  // namespace pressling::app
