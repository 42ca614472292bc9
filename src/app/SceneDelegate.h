#pragma once

#include "ui/SplitViewController.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::ui {
class NavigationController;
}

namespace pressling::reading {
class DetailViewController;
class MasterViewController;
}  // namespace pressling::reading

namespace pressling::app {

class MainViewController;
class SidebarViewController;

// Connects one window (a scene): lays out the split view and decides what stays on screen when
// it collapses. On the tablet idiom (every desktop by default) that is three columns: the
// sidebar of sources, the article list (400 to 520 wide) and, under a navigation bar, the
// article's page; collapsed to one column it always shows the article list. On the phone idiom
// it is two columns, the list and the page, collapsed, without a sidebar. It also and runs the
// article store's clean-up every time the window becomes active, after which the list shows what is
// left. A window that comes back from being minimised tells the screens the application returned to
// the foreground.
//
// Main thread. The stores must outlive it; it lives as long as its window (its parent).
class SceneDelegate final : public QObject {
    Q_OBJECT

public:
    SceneDelegate(ArticleStore& store, KeyValueStore& listStore, QWidget* window);

    // Builds the layout into the window (its only child, filling it). Call once.
    void sceneWillConnect();
    // The three columns (sidebar | list | page), with this delegate's collapse rule.
    MainViewController* makeSplitViewController();
    // The clean-up, synchronously; an error it reports is dropped.
    void sceneDidBecomeActive();

    // The collapse rule: true (handled: the list stays on screen) exactly when secondary is a
    // navigation stack whose top screen is a DetailViewController without an article.
    static bool collapseSecondaryOntoPrimary(QWidget* secondary, QWidget* primary);
    // The three columns' collapse: the article list, whatever column is proposed.
    static ui::SplitViewController::Column topColumnForCollapsing(
        ui::SplitViewController::Column proposed);

    QWidget* window() const { return window_; }
    MainViewController* splitViewController() const { return split_; }
    reading::MasterViewController* masterViewController() const { return master_; }
    // Null on the phone idiom.
    SidebarViewController* sidebarViewController() const { return sidebar_; }
    reading::DetailViewController* detailViewController() const { return detail_; }
    // How many times the clean-up ran.
    int activations() const { return activations_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The list and the page (returned, under its navigation bar).
    ui::NavigationController* makeColumns();

    ArticleStore& store_;
    KeyValueStore& listStore_;
    QPointer<QWidget> window_;
    MainViewController* split_ = nullptr;
    reading::MasterViewController* master_ = nullptr;
    SidebarViewController* sidebar_ = nullptr;
    reading::DetailViewController* detail_ = nullptr;
    int activations_ = 0;
};

}  // namespace pressling::app
