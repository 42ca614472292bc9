#include "app/AppDelegate.h"

#include "app/AddRSSTableViewController.h"
#include "app/InfoViewController.h"
#include "app/LinksTableViewController.h"
#include "app/MenuBar.h"
#include "app/SceneDelegate.h"
#include "app/ScreenPresenter.h"
#include "app/StoredWebsWatcher.h"
#include "app/SubscriptionCommands.h"
#include "flows/OpenURL.h"
#include "reading/MasterViewController.h"
#include "ui/Localized.h"
#include "ui/Platform.h"
#include "ui/Storyboard.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QTimer>
#include <QWidget>

namespace pressling::app {

AppDelegate::AppDelegate(ArticleStore& store, KeyValueStore& listStore, QObject* parent)
    : QObject(parent), store_(store), listStore_(listStore) {
    QApplication::setWindowIcon(applicationIcon());
    ui::Storyboard::registerSegue("showInfo", [](QWidget* source) {
        // Two refreshes that both end with nothing to read open it once.
        const auto open = source->window()->findChildren<InfoViewController*>();
        for (const InfoViewController* info : open) {
            if (info->isVisible()) return;
        }
        InfoViewController::present(source);
    });
    ui::Storyboard::registerSegue("addLink", [this](QWidget* source) {
        AddRSSTableViewController::present(listStore_, source);
    });
    ui::Storyboard::registerSegue("showLinks", [this](QWidget* source) {
        LinksTableViewController::present(listStore_, store_, source);
    });
    watcher_ = new StoredWebsWatcher(listStore_, this);
}

AppDelegate::~AppDelegate() {
    for (const QPointer<QWidget>& window : otherWindows_) delete window.data();
    ui::Storyboard::registerSegue("showInfo", {});
    ui::Storyboard::registerSegue("addLink", {});
    ui::Storyboard::registerSegue("showLinks", {});
}

QIcon AppDelegate::applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/pressling-%1.png").arg(size), QSize(size, size));
    }
    if (QImageReader::supportedImageFormats().contains("svg")) {
        icon.addFile(QStringLiteral(":/icons/pressling.svg"));
    }
    return icon;
}

void AppDelegate::didFinishLaunching(const QStringList& urls) {
    Q_ASSERT(!window_);
    window_ = std::make_unique<QWidget>();
    scene_ = connectScene(window_.get());
    window_->show();
    if (!urls.isEmpty()) {
        // Once the window is laid out and shown, so that the outcome has a screen to appear on.
        QTimer::singleShot(0, this, [this, urls] { openURLs(urls); });
    }
}

SceneDelegate* AppDelegate::newWindow() {
    auto* window = new QWidget;
    window->setAttribute(Qt::WA_DeleteOnClose);
    std::erase_if(otherWindows_, [](const QPointer<QWidget>& open) { return open.isNull(); });
    otherWindows_.emplace_back(window);
    SceneDelegate* scene = connectScene(window);
    // Cascaded from the window it was asked from, so it does not hide it exactly.
    if (const QWidget* active = QApplication::activeWindow(); active != nullptr) {
        window->move(active->pos() + QPoint(32, 32));
    }
    window->show();
    return scene;
}

std::vector<SceneDelegate*> AppDelegate::sceneDelegates() const {
    std::vector<SceneDelegate*> scenes;
    if (scene_ != nullptr) scenes.push_back(scene_);
    for (const QPointer<QWidget>& window : otherWindows_) {
        if (window.isNull()) continue;
        if (auto* scene =
                window->findChild<SceneDelegate*>(QString(), Qt::FindDirectChildrenOnly)) {
            scenes.push_back(scene);
        }
    }
    return scenes;
}

SceneDelegate* AppDelegate::connectScene(QWidget* window) {
    window->setObjectName("window");
    window->setWindowTitle(QStringLiteral("Pressling"));
    if (ui::isPhone()) {
        window->resize(420, 820);
    } else {
        window->resize(1180, 760);
    }
    auto* newWindowAction = new QAction(ui::Localized::tr("New Window"), window);
    newWindowAction->setObjectName("newWindowAction");
    newWindowAction->setShortcut(QKeySequence::New);
    newWindowAction->setShortcutContext(Qt::WindowShortcut);
    connect(newWindowAction, &QAction::triggered, this, [this] { newWindow(); });
    window->addAction(newWindowAction);

    auto* scene = new SceneDelegate(store_, listStore_, window);
    scene->sceneWillConnect();
    // A refresh writes the feeds' error flags: the screens show them as soon as it is over.
    connect(scene->masterViewController(), &reading::MasterViewController::refreshFinished,
            watcher_, &StoredWebsWatcher::check);
    MenuBar* menuBar = MenuBar::install(window, scene->masterViewController(), newWindowAction);
    auto* subscribing = new SubscriptionCommands(listStore_, window);
    for (QAction* command :
         {subscribing->addFeedAction(), subscribing->importAction(), subscribing->exportAction()}) {
        menuBar->addFileCommand(command);
    }
    return scene;
}

void AppDelegate::openURLs(const QStringList& urls, std::function<void()> done) {
    if (!window_) return;
    if (window_->isMinimized()) window_->showNormal();
    window_->raise();
    window_->activateWindow();
    // As with several addresses opened at once on any desktop door: the first one only.
    if (urls.isEmpty()) return;
    openRSSURL(
        urls.first().toStdString(),
        [this]() -> std::shared_ptr<SubscribePresenter> {
            return ScreenPresenter::front(window_.get());
        },
        listStore_, std::move(done));
}

}  // namespace pressling::app
