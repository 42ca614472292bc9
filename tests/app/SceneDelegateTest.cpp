// The shell: the collapse rule, clean-up at each activation, the information screen, Ctrl+N.

#include "app/AppDelegate.h"
#include "app/InfoViewController.h"
#include "app/MenuBar.h"
#include "app/SceneDelegate.h"
#include "reading/DetailViewController.h"
#include "support/ScreenFixture.h"
#include "ui/NavigationController.h"

#include <QWindowStateChangeEvent>

namespace pressling::app {
namespace {

// Every window's list starts a refresh reading the stores on another thread: wait it out.
bool refreshesFinished(const std::vector<SceneDelegate*>& scenes) {
    return std::ranges::all_of(scenes, [](const SceneDelegate* scene) {
        return test::refreshesEnded(*scene->masterViewController());
    });
}

void activate(QWidget* window) {
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(window, &activate);
}

TEST(CollapseRuleTest, theListStaysExactlyWhenTheDetailHasNoArticle) {
    auto* detail = new reading::DetailViewController;
    ui::NavigationController navigation(detail), wrongTop(new QWidget);
    QWidget list, other;
    EXPECT_TRUE(SceneDelegate::collapseSecondaryOntoPrimary(&navigation, &list));
    EXPECT_FALSE(SceneDelegate::collapseSecondaryOntoPrimary(&other, &list)) << "no navigation";
    EXPECT_FALSE(SceneDelegate::collapseSecondaryOntoPrimary(&wrongTop, &list)) << "no detail";
    detail->setDetailItem(test::post("shown", test::day(1)));
    EXPECT_FALSE(SceneDelegate::collapseSecondaryOntoPrimary(&navigation, &list));
}

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest() { delegate.didFinishLaunching({}); }
    ~AppDelegateTest() override { EXPECT_TRUE(refreshesFinished(delegate.sceneDelegates())); }

    test::ReaderStores stores;
    AppDelegate delegate{stores.articles(), stores.list()};
};

TEST_F(AppDelegateTest, everyActivationCleansUpAndTheListShowsWhatIsLeft) {
    auto& model = delegate.sceneDelegate()->masterViewController()->model();
    stores.store({test::article("kept", "https://a.example/1", test::day(7))});
    stores.subscribe({Web{"Alpha", "https://a.example/feed", std::nullopt}});
    activate(delegate.window());
    EXPECT_EQ(model.fetchedObjectCount(), 1u);
    stores.subscribe({});  // unsubscribed elsewhere (another program, another device)
    activate(delegate.window());
    EXPECT_EQ(model.rowCount(), 0);
}

// The launch's refresh and the one on coming back from minimised both find nothing to read.
TEST_F(AppDelegateTest, comingBackFromMinimisedRefreshesAndOnlyOneInformationScreenOpens) {
    ASSERT_TRUE(refreshesFinished(delegate.sceneDelegates()));
    QSignalSpy finished(delegate.sceneDelegate()->masterViewController(),
                        &reading::MasterViewController::refreshFinished);
    QWindowStateChangeEvent restored(Qt::WindowMinimized);
    QCoreApplication::sendEvent(delegate.window(), &restored);
    ASSERT_TRUE(test::waitUntil([&] { return finished.count() == 1; }));
    QList<QPointer<InfoViewController>> shown;
    for (auto* info : delegate.window()->findChildren<InfoViewController*>())
        if (info->isVisible()) shown << info;
    ASSERT_EQ(shown.size(), 1);
    shown[0]->findChild<QPushButton*>("closeButton")->click();
    EXPECT_TRUE(test::waitUntil([&] { return shown[0].isNull(); }));
}

TEST_F(AppDelegateTest, ctrlNOpensAnotherWindowThatIsASceneOfItsOwn) {
    // Triggered directly: a synthetic key press reaches a shortcut only in an active window.
    auto* action = delegate.window()->findChild<QAction*>("newWindowAction");
    ASSERT_TRUE(action && action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_N));
    action->trigger();
    ASSERT_EQ(delegate.sceneDelegates().size(), 2u);
    SceneDelegate* first = delegate.sceneDelegate();
    SceneDelegate* second = delegate.sceneDelegates()[1];
    EXPECT_TRUE(second->window() != first->window() && second->window()->isVisible());
    // Every window carries the icon, drawn (not scaled up) at every size.
    EXPECT_EQ(second->window()->windowIcon().actualSize(QSize(256, 256)), QSize(256, 256));
    // And its own menu bar, whose File menu holds the subscription commands after New Window.
    EXPECT_EQ(
        test::texts(MenuBar::of(second->window())->fileMenu()).mid(0, 4),
        (QStringList{"New Window", "Add Feed…", "Import Subscriptions…", "Export Subscriptions…"}));
    // Each window cleans up on its own activation (the platform may have activated it once).
    const std::pair before{first->activations(), second->activations() + 1};
    activate(second->window());
    EXPECT_EQ(std::pair(first->activations(), second->activations()), before);
    // Closed, it is gone for good.
    ASSERT_TRUE(refreshesFinished(delegate.sceneDelegates()));
    second->window()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(delegate.sceneDelegates().size(), 1u);
}

}  // namespace
}  // namespace pressling::app
