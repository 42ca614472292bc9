#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QIcon;
class QWidget;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::app {

class SceneDelegate;
class StoredWebsWatcher;

// The application: opens its window (one scene), registers the transitions that lead into this
// layer ("showInfo"; "addLink", the catalog screen; "showLinks", the subscriptions screen),
// follows the stored subscription list for changes made by other programs (StoredWebsWatcher), and
// subscribes to the first feed address it was started with, showing the outcome over the front
// screen. Every window carries the menu bar (MenuBar), with the subscription commands
// (SubscriptionCommands) in its File menu and the New Window command (Ctrl+N), which opens another
// window, a scene of its own over the same stores; those close for good when closed. Main thread;
// the stores must outlive it.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    AppDelegate(ArticleStore& store, KeyValueStore& listStore, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Pressling's icon from the application's resources, in every size drawn for it. The
    // constructor gives it to the application, and so to every window.
    static QIcon applicationIcon();

    // The article store, opened before the delegate was made.
    ArticleStore& persistentContainer() const { return store_; }

    // Shows the window and, once it is up, opens urls (see openURLs). Call once.
    void didFinishLaunching(const QStringList& urls);

    // Addresses handed to the application (its command line, a later launch): brings the first
    // window to the front and subscribes to the first of urls through openRSSURL, the others
    // being ignored; done, if given, runs after the outcome was shown. The check runs in the
    // background.
    void openURLs(const QStringList& urls, std::function<void()> done = {});

    // Opens another window with its own scene and shows it; the window deletes itself (and its
    // scene) when closed. Returns the new scene.
    SceneDelegate* newWindow();

    // The first window and its scene.
    QWidget* window() const { return window_.get(); }
    SceneDelegate* sceneDelegate() const { return scene_; }
    // Every window still open, the first one first.
    std::vector<SceneDelegate*> sceneDelegates() const;

private:
    SceneDelegate* connectScene(QWidget* window);

    ArticleStore& store_;
    KeyValueStore& listStore_;
    std::unique_ptr<QWidget> window_;
    SceneDelegate* scene_ = nullptr;
    StoredWebsWatcher* watcher_ = nullptr;
    // The windows newWindow opened; each deletes itself when closed.
    std::vector<QPointer<QWidget>> otherWindows_;
};

}  // namespace pressling::app
