// The transient message, gone a second after appearing, or with the window it covers.

#include "app/DialogViewController.h"
#include "support/QtTestSupport.h"

namespace pressling::app {
namespace {

using namespace std::chrono_literals;

class DialogTest : public ::testing::Test {
protected:
    DialogTest() { window.show(); }
    // A dialog presented from a screen of owner, once its fade-in has ended.
    QPointer<DialogViewController> appeared(QWidget* owner, std::optional<QString> text) {
        QPointer<DialogViewController> dialog = new DialogViewController(owner);
        dialog->textLabel()->setText("left over");
        dialog->setText(std::move(text));
        dialog->present();
        EXPECT_TRUE(test::waitUntil([&] { return dialog->hasAppeared(); }));
        return dialog;
    }
    test::ManualClockQueue clock;
    QWidget window;
};

// A second dialog's window closes first and takes it along: its scheduled dismissal, due with
// the first one's, then finds nothing to touch.
TEST_F(DialogTest, coversTheWindowWithItsTextForOneSecondOrUntilTheWindowCloses) {
    auto dialog = appeared(new QWidget(&window), "Link added");
    EXPECT_EQ(dialog->textLabel()->text(), "Link added");
    EXPECT_EQ(dialog->geometry(), window.rect());
    auto* closing = new QWidget;
    closing->show();
    auto takenAlong = appeared(closing, "Link added");
    delete closing;
    EXPECT_TRUE(takenAlong.isNull());
    QSignalSpy dismissed(dialog.data(), &DialogViewController::dismissed);
    clock.advance(999ms);
    EXPECT_TRUE(dialog->isVisible() && dismissed.isEmpty());
    clock.advance(1ms);
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(test::waitUntil([&] { return dialog.isNull(); }));
}

}  // namespace
}  // namespace pressling::app
