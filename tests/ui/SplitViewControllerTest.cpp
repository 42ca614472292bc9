// The split view's collapse: which column stays when it narrows to one, the way back from the
// article to the list, and the navigation bar following its screen's title.

#include "support/QtTestSupport.h"
#include "ui/NavigationController.h"
#include "ui/SplitViewController.h"

#include <gtest/gtest.h>
#include <QToolButton>

namespace pressling::ui {
namespace {

class SplitViewControllerTest : public ::testing::Test {
protected:
    SplitViewControllerTest() {
        split.setViewControllers(primary, secondary);
        expand();
        split.show();
    }
    void collapse() { split.resize(500, 600); }
    void expand() { split.resize(1000, 600); }
    // Which columns are on screen: "both", "primary" or "secondary".
    std::string shown() const {
        return primary->isVisible() ? secondary->isVisible() ? "both" : "primary" : "secondary";
    }

    SplitViewController split;
    QWidget* primary = new QWidget;
    QWidget* secondary = new QWidget;
};

TEST_F(SplitViewControllerTest, aHandledCollapseKeepsThePrimaryAnUnhandledOneTheSecondary) {
    for (const bool handled : {true, false}) {
        split.setCollapseHandler([&](QWidget* second, QWidget* first) {
            return second == secondary && first == primary && handled;
        });
        collapse();
        EXPECT_TRUE(split.isCollapsed());
        EXPECT_EQ(shown(), handled ? "primary" : "secondary");
        EXPECT_EQ(split.isShowingSecondaryOnly(), !handled);
        expand();
        EXPECT_EQ(shown(), "both");
    }
}

TEST_F(SplitViewControllerTest, theDisplayModeButtonLeadsBackCollapsedAndTogglesTheListExpanded) {
    split.displayModeButtonItem()->trigger();
    EXPECT_EQ(shown(), "secondary");
    split.displayModeButtonItem()->trigger();
    EXPECT_EQ(shown(), "both");

    split.setCollapseHandler([](QWidget*, QWidget*) { return true; });
    collapse();
    EXPECT_FALSE(split.displayModeButtonItem()->isVisible());
    split.showDetail();
    EXPECT_EQ(shown(), "secondary");
    EXPECT_TRUE(split.displayModeButtonItem()->isVisible());
    split.displayModeButtonItem()->trigger();
    EXPECT_EQ(shown(), "primary");
}

TEST_F(SplitViewControllerTest, aPhoneStaysCollapsedWhateverItsWidthAndItsListTakesAllOfIt) {
    split.setCollapseHandler([](QWidget*, QWidget*) { return true; });
    split.setPrimaryColumnWidths(400, 520);
    EXPECT_LE(primary->width(), 520);
    split.setAlwaysCollapsed(true);
    EXPECT_TRUE(split.isCollapsed());
    QCoreApplication::processEvents();
    EXPECT_EQ(primary->width(), split.width());
}

TEST(NavigationControllerTest, theBarFollowsItsScreensTitleAndTheLeftButtonItsAction) {
    auto* screen = new QWidget;
    NavigationController navigation(screen);
    navigation.show();
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
