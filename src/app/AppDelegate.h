#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <memory>

class QWidget;

namespace pressling {
class ArticleStore;
class KeyValueStore;
}  // namespace pressling

namespace pressling::app {

class SceneDelegate;
class ScreenPresenter;

// The application: opens its window (one scene), registers the transitions that lead into this
// layer ("showInfo"), and subscribes to the feed addresses it was started with, showing the
// outcome over the window. Main thread; the stores must outlive it.
class AppDelegate final : public QObject {
    Q_OBJECT

public:
    AppDelegate(ArticleStore& store, KeyValueStore& listStore, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The article store, opened before the delegate was made.
    ArticleStore& persistentContainer() const { return store_; }

    // Shows the window and, once it is up, subscribes to each of urls in turn (each blocks for
    // its download, as the add flow does). Call once.
    void didFinishLaunching(const QStringList& urls);

    QWidget* window() const { return window_.get(); }
    SceneDelegate* sceneDelegate() const { return scene_; }

private:
    void openURLs(const QStringList& urls);

    ArticleStore& store_;
    KeyValueStore& listStore_;
    std::unique_ptr<QWidget> window_;
    SceneDelegate* scene_ = nullptr;
    std::unique_ptr<ScreenPresenter> presenter_;
};

}  // namespace pressling::app
