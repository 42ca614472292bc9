// The transient message, gone a second after appearing, or with the window it covers.

#include "app/DialogViewController.h"
#include "support/QtTestSupport.h"

namespace pressling::app {
namespace {

using namespace std::chrono_literals;
using test::waitUntil;

class DialogTest : public ::testing::Test {
protected:
    DialogTest() { window.show(); }
    // A dialog presented from a screen of owner, once its fade-in has ended.
    QPointer<DialogViewController> appeared(QWidget* owner, std::optional<QString> text) {
        QPointer<DialogViewController> dialog = new DialogViewController(owner);
        dialog->textLabel()->setText("left over");
        dialog->setText(std::move(text));
        dialog->present();
        EXPECT_TRUE(waitUntil([&] { return dialog->hasAppeared(); }));
        return dialog;
    }
    test::ManualClockQueue clock;
    QWidget window;
};

TEST_F(DialogTest, coversTheWindowWithItsTextForOneSecondAfterAppearing) {
    auto dialog = appeared(new QWidget(&window), "Link added");
    EXPECT_EQ(dialog->textLabel()->text(), "Link added");
    EXPECT_EQ(dialog->geometry(), window.rect());
    QSignalSpy dismissed(dialog.data(), &DialogViewController::dismissed);
    clock.advance(999ms);
    EXPECT_TRUE(dialog->isVisible() && dismissed.isEmpty());
    clock.advance(1ms);
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
}

TEST_F(DialogTest, aWindowThatClosesFirstTakesTheDialogWithIt) {
    auto* owner = new QWidget;
    owner->show();
    auto dialog = appeared(owner, "Link added");
    delete owner;
    EXPECT_TRUE(dialog.isNull());
    clock.advance(1s);  // the scheduled dismissal finds nothing to touch
}

}  // namespace
}  // namespace pressling::app
