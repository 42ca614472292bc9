// The shell: the window's layout, the collapse rule, the clean-up at every activation with the
// list following it, and the information screen opened once however many refreshes ask.

#include "app/AppDelegate.h"
#include "app/InfoViewController.h"
#include "app/MainViewController.h"
#include "app/SceneDelegate.h"
#include "reading/ArticleListModel.h"
#include "reading/DetailViewController.h"
#include "reading/MasterViewController.h"
#include "support/QtTestSupport.h"
#include "ui/NavigationController.h"
#include "ui/Storyboard.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QKeySequence>
#include <QEvent>
#include <QSignalSpy>
#include <QWindowStateChangeEvent>

namespace pressling::app {
namespace {

using test::entry;
using test::march2021;
using test::waitUntil;

BlogPost withLink() {
    BlogPost post;
    post.objectID = 1;
    post.link = Url::parse("https://example.org/1");
    return post;
}

TEST(CollapseRuleTest, theListStaysExactlyWhenTheDetailHasNoArticle) {
    auto* detail = new reading::DetailViewController;
    ui::NavigationController navigation(detail);
    QWidget list;
    EXPECT_TRUE(SceneDelegate::collapseSecondaryOntoPrimary(&navigation, &list));
    detail->setDetailItem(withLink());
    EXPECT_FALSE(SceneDelegate::collapseSecondaryOntoPrimary(&navigation, &list));
    // Anything but a navigation stack over the detail: the default collapse.
    QWidget other;
    EXPECT_FALSE(SceneDelegate::collapseSecondaryOntoPrimary(&other, &list));
    ui::NavigationController wrongTop(new QWidget);
    EXPECT_FALSE(SceneDelegate::collapseSecondaryOntoPrimary(&wrongTop, &list));
}

class SceneDelegateTest : public ::testing::Test {
protected:
    SceneDelegateTest() {
        // Nothing is served: no subscription reaches the network.
        ui::Storyboard::registerSegue("showInfo", [](QWidget*) {});
        scene = new SceneDelegate(stores.articles(), stores.list(), &window);
    }
    ~SceneDelegateTest() override {
        // The list's refresh reads the stores on another thread: they stay until it is over.
        if (scene->masterViewController() != nullptr) {
            EXPECT_TRUE(waitUntil(
                [&] { return scene->masterViewController()->refreshesInFlight() == 0; }));
        }
        ui::Storyboard::registerSegue("showInfo", {});
    }

    test::ReaderStores stores;
    QWidget window;
    SceneDelegate* scene;
};

TEST_F(SceneDelegateTest, laysOutTheListBesideTheDetailUnderItsNavigationBar) {
    scene->sceneWillConnect();
    window.resize(1100, 700);
    window.show();
    MainViewController* split = scene->splitViewController();
    ASSERT_NE(split, nullptr);
    EXPECT_EQ(split->primaryViewController(), scene->masterViewController());
    auto* navigation = qobject_cast<ui::NavigationController*>(split->secondaryViewController());
    ASSERT_NE(navigation, nullptr);
    EXPECT_EQ(navigation->topViewController(), scene->detailViewController());
    EXPECT_TRUE(scene->masterViewController()->isVisible());
    EXPECT_TRUE(scene->detailViewController()->isVisible());

    // Narrowed with no article open, the list stays.
    window.resize(500, 700);
    EXPECT_TRUE(split->isCollapsed());
    EXPECT_TRUE(scene->masterViewController()->isVisible());
    EXPECT_FALSE(scene->detailViewController()->isVisible());
}

TEST_F(SceneDelegateTest, everyActivationCleansUpAndTheListShowsWhatIsLeft) {
    stores.subscribe({Web{"Alpha", "https://a.example/feed", std::nullopt}});
    stores.store({entry("kept", "https://a.example/1", march2021(7))});
    scene->sceneWillConnect();
    auto& model = scene->masterViewController()->model();
    ASSERT_EQ(model.fetchedObjectCount(), 1u);

    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);
    EXPECT_EQ(scene->activations(), 1);
    EXPECT_EQ(model.fetchedObjectCount(), 1u);

    // The feed was unsubscribed elsewhere (another program, another device).
    stores.subscribe({});
    stores.store({entry("later", "https://a.example/2", march2021(8))});
    ASSERT_EQ(model.fetchedObjectCount(), 2u);
    QCoreApplication::sendEvent(&window, &activate);
    EXPECT_EQ(scene->activations(), 2);
    EXPECT_EQ(model.fetchedObjectCount(), 0u);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(SceneDelegateTest, comingBackFromMinimisedRefreshesTheList) {
    scene->sceneWillConnect();
    reading::MasterViewController* list = scene->masterViewController();
    ASSERT_TRUE(waitUntil([&] { return list->refreshesInFlight() == 0; }));
    QSignalSpy finished(list, &reading::MasterViewController::refreshFinished);
    QWindowStateChangeEvent restored(Qt::WindowMinimized);
    QCoreApplication::sendEvent(&window, &restored);
    EXPECT_TRUE(waitUntil([&] { return finished.count() == 1; }));
}

TEST(AppDelegateTest, theInformationScreenOpensOnceWhenTwoRefreshesFindNothing) {
    test::ReaderStores stores;
    AppDelegate delegate(stores.articles(), stores.list());
    delegate.didFinishLaunching({});
    reading::MasterViewController* list = delegate.sceneDelegate()->masterViewController();
    list->loadData();
    ASSERT_TRUE(waitUntil([&] { return list->refreshesInFlight() == 0; }));
    QCoreApplication::processEvents();
    int open = 0;
    for (const auto* info : delegate.window()->findChildren<InfoViewController*>()) {
        if (info->isVisible()) ++open;
    }
    EXPECT_EQ(open, 1);
}

// Every window's list starts a refresh that reads the stores on another thread: the stores
// must stay until it is over.
bool refreshesFinished(const AppDelegate& delegate) {
    return waitUntil([&] {
        for (const SceneDelegate* scene : delegate.sceneDelegates()) {
            if (scene->masterViewController()->refreshesInFlight() != 0) return false;
        }
        return true;
    });
}

TEST(AppDelegateTest, everyWindowCarriesTheApplicationIcon) {
    test::ReaderStores stores;
    AppDelegate delegate(stores.articles(), stores.list());
    delegate.didFinishLaunching({});
    const QIcon icon = delegate.window()->windowIcon();
    // Drawn, not scaled up from a small one: the resources hold every size.
    EXPECT_EQ(icon.actualSize(QSize(256, 256)), QSize(256, 256));
    EXPECT_FALSE(icon.pixmap(QSize(32, 32)).isNull());
    EXPECT_TRUE(refreshesFinished(delegate));
}

TEST(AppDelegateTest, ctrlNOpensAnotherWindowThatIsASceneOfItsOwn) {
    test::ReaderStores stores;
    AppDelegate delegate(stores.articles(), stores.list());
    delegate.didFinishLaunching({});
    QWidget* first = delegate.window();
    // The command is the window's Ctrl+N action. It is triggered directly: whether a synthetic
    // key press reaches a shortcut depends on the platform's window activation, which is not
    // what is under test here.
    auto* action = first->findChild<QAction*>("newWindowAction");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_TRUE(first->actions().contains(action));
    action->trigger();
    const std::vector<SceneDelegate*> scenes = delegate.sceneDelegates();
    ASSERT_EQ(scenes.size(), 2u);
    SceneDelegate* second = scenes[1];
    EXPECT_NE(second->window(), first);
    EXPECT_TRUE(second->window()->isWindow());
    EXPECT_TRUE(second->window()->isVisible());
    EXPECT_NE(second->masterViewController(), delegate.sceneDelegate()->masterViewController());

    // Each window runs the clean-up when it becomes active, on its own. (The platform may
    // already have activated the new window once; only the change counts.)
    const int firstActivations = delegate.sceneDelegate()->activations();
    const int secondActivations = second->activations();
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(second->window(), &activate);
    EXPECT_EQ(second->activations(), secondActivations + 1);
    EXPECT_EQ(delegate.sceneDelegate()->activations(), firstActivations);

    // Closed, it is gone for good.
    ASSERT_TRUE(refreshesFinished(delegate));
    second->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(delegate.sceneDelegates().size(), 1u);
}

}  // namespace
}  // namespace pressling::app
