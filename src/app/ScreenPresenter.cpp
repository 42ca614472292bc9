#include "app/ScreenPresenter.h"

#include "app/DialogViewController.h"
#include "ui/AlertPresenter.h"
#include "ui/Localized.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace pressling::app {
namespace {

// The add flow's texts, for the translation tools; they must stay the flow's keys.
constexpr const char* kFlowTexts[] = {
    QT_TRANSLATE_NOOP("Pressling", "Link added"),
    QT_TRANSLATE_NOOP("Pressling", "RSS not found"),
    QT_TRANSLATE_NOOP("Pressling",
                      "We will check your link in order yo verify if we can support it. Maybe it "
                      "will work in the next update!"),
    QT_TRANSLATE_NOOP("Pressling", "Okey"),
    QT_TRANSLATE_NOOP("Pressling", "Error"),
    QT_TRANSLATE_NOOP("Pressling",
                      "The feed works, but the list of subscriptions could not be saved. Please "
                      "try again."),
};
static_assert(std::string_view(kFlowTexts[0]) == kLinkAddedText);
static_assert(std::string_view(kFlowTexts[1]) == kRSSNotFoundTitle);
static_assert(std::string_view(kFlowTexts[2]) == kRSSNotFoundMessage);
static_assert(std::string_view(kFlowTexts[3]) == kOkeyButton);
static_assert(std::string_view(kFlowTexts[4]) == kListNotSavedTitle);
static_assert(std::string_view(kFlowTexts[5]) == kListNotSavedMessage);

// Several presenters may hold one screen's busy cursor; the screen counts them.
constexpr const char* kChecksProperty = "presslingChecks";

void addCheck(QWidget* screen, int delta) {
    const int checks = screen->property(kChecksProperty).toInt() + delta;
    screen->setProperty(kChecksProperty, checks);
    if (checks > 0) {
        screen->setCursor(Qt::BusyCursor);
    } else {
        screen->unsetCursor();
    }
}

}  // namespace

ScreenPresenter::ScreenPresenter(QWidget* screen)
    : screen_(screen),
      under_(screen->parentWidget() != nullptr ? screen->parentWidget()->window() : nullptr) {}

QWidget* ScreenPresenter::target() const {
    if (screen_ && screen_->isVisible()) return screen_;
    return under_ && under_->isVisible() ? under_.data() : nullptr;
}

ScreenPresenter::~ScreenPresenter() {
    if (screen_ && checks_ > 0) addCheck(screen_, -checks_);
}

std::shared_ptr<ScreenPresenter> ScreenPresenter::front(QWidget* fallback) {
    QWidget* window = QApplication::activeWindow();
    if (window == nullptr && fallback != nullptr) window = fallback->window();
    if (qobject_cast<QMessageBox*>(window) != nullptr && window->parentWidget() != nullptr) {
        window = window->parentWidget()->window();
    }
    if (window == nullptr || !window->isVisible()) return nullptr;
    // A sheet is a window of its own over its parent's; an alert box is no screen to present
    // from.
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != window && qobject_cast<QMessageBox*>(modal) == nullptr &&
        modal->parentWidget() != nullptr && modal->parentWidget()->window() == window) {
        window = modal;
    }
    return std::make_shared<ScreenPresenter>(window);
}

void ScreenPresenter::checkStarted() {
    if (screen_.isNull()) return;
    ++checks_;
    addCheck(screen_, 1);
}

void ScreenPresenter::checkEnded() {
    if (screen_.isNull() || checks_ == 0) return;
    --checks_;
    addCheck(screen_, -1);
}

void ScreenPresenter::showTransientMessage(std::string_view text) {
    QWidget* screen = target();
    if (screen == nullptr) return;
    auto* dialog = new DialogViewController(screen);
    dialog->setText(ui::Localized::key(text));
    dialog->present();
}

void ScreenPresenter::presentAlert(const Alert& alert, std::string_view reason) {
    QWidget* screen = target();
    if (screen == nullptr) return;
    QMessageBox* box = ui::presentAlert(screen, alert);
    if (!reason.empty()) {
        box->setInformativeText(box->informativeText() + "\n\n" +
                                QString::fromUtf8(reason.data(), qsizetype(reason.size())));
    }
}

}  // namespace pressling::app
