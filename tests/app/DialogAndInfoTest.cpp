// The small screens: the transient message that closes itself, the information screen that
// closes on its button, and the add flow's outcome shown over a window.

#include "app/DialogViewController.h"
#include "app/InfoViewController.h"
#include "app/ScreenPresenter.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

namespace pressling::app {
namespace {

using test::waitUntil;

class DialogTest : public ::testing::Test {
protected:
    DialogTest() {
        window.resize(600, 400);
        window.show();
    }
    QWidget window;
    QWidget* behind = new QWidget(&window);
};

TEST_F(DialogTest, showsItsTextOverTheWindowAndClosesItselfAfterAppearing) {
    QPointer<DialogViewController> dialog = new DialogViewController(behind);
    QSignalSpy appeared(dialog.data(), &DialogViewController::appeared);
    dialog->setText("Link added");
    dialog->present();
    EXPECT_EQ(dialog->textLabel()->text(), "Link added");
    EXPECT_EQ(dialog->parentWidget(), &window);
    EXPECT_EQ(dialog->geometry(), window.rect());
    EXPECT_TRUE(behind->isVisible());

    ASSERT_TRUE(waitUntil([&] { return appeared.count() == 1; }));
    ASSERT_FALSE(dialog.isNull()) << "it must last its second after appearing";
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
}

TEST_F(DialogTest, withoutTextTheLabelIsEmptyAndItStillCloses) {
    QPointer<DialogViewController> dialog = new DialogViewController(behind);
    dialog->textLabel()->setText("left over");
    dialog->present();
    EXPECT_EQ(dialog->textLabel()->text(), "");
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
}

TEST_F(DialogTest, aWindowThatClosesFirstTakesTheDialogWithIt) {
    auto* owner = new QWidget;
    owner->show();
    QPointer<DialogViewController> dialog = new DialogViewController(owner);
    QSignalSpy appeared(dialog.data(), &DialogViewController::appeared);
    dialog->present();
    ASSERT_TRUE(waitUntil([&] { return appeared.count() == 1; }));
    delete owner;  // the scheduled dismissal must find nothing to touch
    EXPECT_TRUE(dialog.isNull());
    QTest::qWait(int(DialogViewController::kDismissDelay.count()) + 100);
}

TEST_F(DialogTest, thePresenterShowsMessagesAsDialogsAndAlertsAsBoxes) {
    ScreenPresenter presenter(&window);
    presenter.showTransientMessage("Link added");
    auto* dialog = window.findChild<DialogViewController*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->textLabel()->text(), "Link added");

    presenter.presentAlert(Alert{"RSS not found", "Why", {AlertAction{"Okey"}}});
    auto* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "RSS not found");
}

TEST(InfoViewControllerTest, itsCloseButtonClosesIt) {
    QWidget window;
    window.show();
    QPointer<InfoViewController> info = InfoViewController::present(&window);
    ASSERT_TRUE(waitUntil([&] { return info->isVisible(); }));
    auto* close = info->findChild<QPushButton*>("closeButton");
    ASSERT_NE(close, nullptr);
    close->click();
    EXPECT_TRUE(waitUntil([&] { return info.isNull(); }));
}

}  // namespace
}  // namespace pressling::app
