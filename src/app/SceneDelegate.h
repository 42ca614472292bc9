#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::reading {
class DetailViewController;
class MasterViewController;
}  // namespace pressling::reading

namespace pressling::app {

class MainViewController;

// Connects one window (a scene): lays out the split view with the article list and, under a
// navigation bar, the article's page; decides what stays on screen when the split view
// collapses; and runs the article store's clean-up every time the window becomes active,
// after which the list shows what is left. A window that comes back from being minimised tells
// the screens the application returned to the foreground.
//
// Main thread. The stores must outlive it; it lives as long as its window (its parent).
class SceneDelegate final : public QObject {
    Q_OBJECT

public:
    SceneDelegate(ArticleStore& store, KeyValueStore& listStore, QWidget* window);

    // Builds the layout into the window (its only child, filling it). Call once.
    void sceneWillConnect();
    // The clean-up, synchronously; an error it reports is dropped.
    void sceneDidBecomeActive();

    // The collapse rule: true (handled: the list stays on screen) exactly when secondary is a
    // navigation stack whose top screen is a DetailViewController without an article.
    static bool collapseSecondaryOntoPrimary(QWidget* secondary, QWidget* primary);

    QWidget* window() const { return window_; }
    MainViewController* splitViewController() const { return split_; }
    reading::MasterViewController* masterViewController() const { return master_; }
    reading::DetailViewController* detailViewController() const { return detail_; }
    // How many times the clean-up ran.
    int activations() const { return activations_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ArticleStore& store_;
    KeyValueStore& listStore_;
    QPointer<QWidget> window_;
    MainViewController* split_ = nullptr;
    reading::MasterViewController* master_ = nullptr;
    reading::DetailViewController* detail_ = nullptr;
    int activations_ = 0;
};

}  // namespace pressling::app
