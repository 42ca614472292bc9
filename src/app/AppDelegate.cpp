#include "app/AppDelegate.h"

#include "app/InfoViewController.h"
#include "app/SceneDelegate.h"
#include "app/ScreenPresenter.h"
#include "subscriptions/flows/OpenURL.h"
#include "ui/Platform.h"
#include "ui/Storyboard.h"

#include <QTimer>
#include <QWidget>

namespace pressling::app {

AppDelegate::AppDelegate(ArticleStore& store, KeyValueStore& listStore, QObject* parent)
    : QObject(parent), store_(store), listStore_(listStore) {
    ui::Storyboard::registerSegue("showInfo", [](QWidget* source) {
        // Two refreshes that both end with nothing to read open it once.
        const auto open = source->window()->findChildren<InfoViewController*>();
        for (const InfoViewController* info : open) {
            if (info->isVisible()) return;
        }
        InfoViewController::present(source);
    });
}

AppDelegate::~AppDelegate() { ui::Storyboard::registerSegue("showInfo", {}); }

void AppDelegate::didFinishLaunching(const QStringList& urls) {
    Q_ASSERT(!window_);
    window_ = std::make_unique<QWidget>();
    window_->setObjectName("window");
    window_->setWindowTitle(QStringLiteral("Pressling"));
    if (ui::isPhone()) {
        window_->resize(420, 820);
    } else {
        window_->resize(1180, 760);
    }
    presenter_ = std::make_unique<ScreenPresenter>(window_.get());
    scene_ = new SceneDelegate(store_, listStore_, window_.get());
    scene_->sceneWillConnect();
    window_->show();
    if (!urls.isEmpty()) {
        QTimer::singleShot(0, this, [this, urls] { openURLs(urls); });
    }
}

void AppDelegate::openURLs(const QStringList& urls) {
    for (const QString& url : urls) {
        openRSSURL(
            url.toStdString(),
            [this]() -> SubscribePresenter* {
                return window_ && window_->isVisible() ? presenter_.get() : nullptr;
            },
            listStore_);
    }
}

}  // namespace pressling::app
