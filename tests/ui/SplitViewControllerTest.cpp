// The split view's collapse: which column stays when it narrows to one, the way back from the
// article to the list, and the navigation bar following its screen's title.

#include "support/QtTestSupport.h"
#include "ui/NavigationController.h"
#include "ui/SplitViewController.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QToolButton>

namespace pressling::ui {
namespace {

class SplitViewControllerTest : public ::testing::Test {
protected:
    SplitViewControllerTest() {
        split.setViewControllers(primary, secondary);
        split.resize(1000, 600);
        split.show();
    }
    void collapse() { split.resize(500, 600); }
    void expand() { split.resize(1000, 600); }

    SplitViewController split;
    QWidget* primary = new QWidget;
    QWidget* secondary = new QWidget;
};

TEST_F(SplitViewControllerTest, wideShowsBothColumnsNarrowShowsOne) {
    EXPECT_FALSE(split.isCollapsed());
    EXPECT_TRUE(primary->isVisible());
    EXPECT_TRUE(secondary->isVisible());
    collapse();
    EXPECT_TRUE(split.isCollapsed());
    EXPECT_NE(primary->isVisible(), secondary->isVisible());
    expand();
    EXPECT_TRUE(primary->isVisible());
    EXPECT_TRUE(secondary->isVisible());
}

TEST_F(SplitViewControllerTest, aHandledCollapseKeepsThePrimaryAndAnUnhandledOneTheSecondary) {
    int asked = 0;
    bool handled = true;
    split.setCollapseHandler([&](QWidget* second, QWidget* first) {
        EXPECT_EQ(second, secondary);
        EXPECT_EQ(first, primary);
        ++asked;
        return handled;
    });
    collapse();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(primary->isVisible());
    EXPECT_FALSE(secondary->isVisible());

    expand();
    handled = false;
    collapse();
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(primary->isVisible());
    EXPECT_TRUE(secondary->isVisible());
    EXPECT_TRUE(split.isShowingSecondaryOnly());
}

TEST_F(SplitViewControllerTest, collapsedTheDetailComesOnTopAndTheDisplayModeButtonLeadsBack) {
    split.setCollapseHandler([](QWidget*, QWidget*) { return true; });
    collapse();
    EXPECT_FALSE(split.displayModeButtonItem()->isVisible());
    split.showDetail();
    EXPECT_TRUE(secondary->isVisible());
    EXPECT_FALSE(primary->isVisible());
    EXPECT_TRUE(split.displayModeButtonItem()->isVisible());
    split.displayModeButtonItem()->trigger();
    EXPECT_TRUE(primary->isVisible());
    EXPECT_FALSE(secondary->isVisible());
}

TEST_F(SplitViewControllerTest, expandedTheDisplayModeButtonPutsTheListAwayAndBack) {
    split.showDetail();  // nothing to do with both columns on screen
    EXPECT_TRUE(primary->isVisible());
    split.displayModeButtonItem()->trigger();
    EXPECT_FALSE(primary->isVisible());
    EXPECT_TRUE(secondary->isVisible());
    split.displayModeButtonItem()->trigger();
    EXPECT_TRUE(primary->isVisible());
}

TEST_F(SplitViewControllerTest, aPhoneStaysCollapsedWhateverItsWidthAndItsListTakesAllOfIt) {
    split.setCollapseHandler([](QWidget*, QWidget*) { return true; });
    split.setPrimaryColumnWidths(400, 520);
    expand();
    EXPECT_LE(primary->width(), 520);
    split.setAlwaysCollapsed(true);
    EXPECT_TRUE(split.isCollapsed());
    QCoreApplication::processEvents();
    EXPECT_EQ(primary->width(), split.width());
}

TEST(NavigationControllerTest, theBarShowsItsScreensTitleAsItChangesAndTheLeftButtonItsAction) {
    auto* screen = new QWidget;
    screen->setWindowTitle("First");
    NavigationController navigation(screen);
    navigation.show();
    EXPECT_EQ(navigation.title(), "First");
    screen->setWindowTitle("Second");
    EXPECT_EQ(navigation.title(), "Second");

    QAction back("Articles");
    navigation.setLeftBarButtonItem(&back);
    auto* button = navigation.findChild<QToolButton*>();
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isVisible());
    back.setVisible(false);
    EXPECT_FALSE(button->isVisible());
}

}  // namespace
}  // namespace pressling::ui
