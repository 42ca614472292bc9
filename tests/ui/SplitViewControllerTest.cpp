// The split view's collapse, the way back from the article to the list, and the navigation bar.

#include "support/QtTestSupport.h"
#include "ui/NavigationController.h"
#include "ui/SplitViewController.h"

namespace pressling::ui {
namespace {

class SplitViewControllerTest : public ::testing::Test {
protected:
    SplitViewControllerTest() {
        split.setViewControllers(primary, secondary);
        split.resize(1000, 600);
        split.show();
    }
    // The columns on screen, after collapsing or expanding to width.
    std::string shownAt(int width) {
        if (width > 0) split.resize(width, 600);
        return primary->isVisible() ? secondary->isVisible() ? "both" : "primary" : "secondary";
    }

    SplitViewController split;
    QWidget* primary = new QWidget;
    QWidget* secondary = new QWidget;
    QAction* button = split.displayModeButtonItem();
};

TEST_F(SplitViewControllerTest, aHandledCollapseKeepsThePrimaryAnUnhandledOneTheSecondary) {
    for (const bool handled : {true, false}) {
        split.setCollapseHandler([&](QWidget* second, QWidget* first) {
            return second == secondary && first == primary && handled;
        });
        EXPECT_EQ(shownAt(500), handled ? "primary" : "secondary");
        EXPECT_EQ(split.isShowingSecondaryOnly(), !handled);
        EXPECT_EQ(shownAt(1000), "both");
    }
}

TEST_F(SplitViewControllerTest, theDisplayModeButtonLeadsBackCollapsedAndTogglesTheListExpanded) {
    button->trigger();
    EXPECT_EQ(shownAt(0), "secondary");
    button->trigger();
    EXPECT_EQ(shownAt(0), "both");
    split.setCollapseHandler([](QWidget*, QWidget*) { return true; });
    EXPECT_EQ(shownAt(500), "primary");
    EXPECT_FALSE(button->isVisible());
    split.showDetail();
    EXPECT_EQ(shownAt(0), "secondary");
    ASSERT_TRUE(button->isVisible());
    button->trigger();
    EXPECT_EQ(shownAt(0), "primary");
}

TEST_F(SplitViewControllerTest, aPhoneStaysCollapsedWhateverItsWidthAndItsListTakesAllOfIt) {
    split.setCollapseHandler([](QWidget*, QWidget*) { return true; });
    split.setPrimaryColumnWidths(400, 520);
    EXPECT_LE(primary->width(), 520);
    split.setAlwaysCollapsed(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(primary->width(), split.width());
}

// What the application's handler ignores, for another: the page is the column proposed.
TEST(ThreeColumnsTest, collapsingAsksTheTopColumnHandlerWithThePageProposed) {
    SplitViewController split;  // narrow from the start: it collapses on taking its columns
    std::vector<SplitViewController::Column> proposed;
    split.setTopColumnForCollapsingHandler([&](SplitViewController::Column column) {
        proposed.push_back(column);
        return column;
    });
    split.setViewControllers(new QWidget, new QWidget, new QWidget);
    EXPECT_EQ(proposed, std::vector{SplitViewController::Column::secondary});
}

TEST(NavigationControllerTest, theBarFollowsItsScreensTitleAndTheLeftButtonItsAction) {
    auto* screen = new QWidget;
    NavigationController navigation(screen);
    navigation.show();
    screen->setWindowTitle("Later");
    EXPECT_EQ(navigation.title(), "Later");
    QAction back("Articles");
    navigation.setLeftBarButtonItem(&back);
    back.setVisible(false);
    EXPECT_FALSE(navigation.findChild<QToolButton*>()->isVisible());
}

}  // namespace
}  // namespace pressling::ui
