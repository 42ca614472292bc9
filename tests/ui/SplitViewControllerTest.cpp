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

TEST(ThreeColumnsTest, collapsedTheTopColumnHandlerChoosesAndTheButtonLeadsBackOneColumn) {
    SplitViewController split;
    QWidget *sources = new QWidget, *list = new QWidget, *page = new QWidget;
    split.setViewControllers(sources, list, page);
    std::vector<SplitViewController::Column> proposed;
    split.setTopColumnForCollapsingHandler([&](SplitViewController::Column column) {
        proposed.push_back(column);
        return SplitViewController::Column::supplementary;
    });
    split.setSupplementaryColumnWidths(400, 520);
    split.resize(1200, 600);
    split.show();
    const auto shown = [&] {
        return QString(sources->isVisible() ? "S" : "") + (list->isVisible() ? "L" : "") +
               (page->isVisible() ? "P" : "");
    };
    EXPECT_EQ(shown(), "SLP");
    EXPECT_TRUE(list->width() >= 400 && list->width() <= 520) << list->width();
    split.resize(500, 600);
    EXPECT_EQ(proposed, std::vector{SplitViewController::Column::secondary});
    EXPECT_EQ(shown(), "L");
    split.showDetail();
    EXPECT_EQ(shown(), "P");
    for (const char* column : {"L", "S"}) {  // back one column at a time
        split.displayModeButtonItem()->trigger();
        EXPECT_EQ(shown(), column);
    }
    EXPECT_FALSE(split.displayModeButtonItem()->isVisible());
    split.showSupplementary();
    EXPECT_EQ(shown(), "L");
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
