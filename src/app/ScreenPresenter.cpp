#include "app/ScreenPresenter.h"

#include "app/DialogViewController.h"
#include "ui/AlertPresenter.h"
#include "ui/Localized.h"

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
};
static_assert(std::string_view(kFlowTexts[0]) == kLinkAddedText);
static_assert(std::string_view(kFlowTexts[1]) == kRSSNotFoundTitle);
static_assert(std::string_view(kFlowTexts[2]) == kRSSNotFoundMessage);
static_assert(std::string_view(kFlowTexts[3]) == kOkeyButton);

}  // namespace

void ScreenPresenter::showTransientMessage(std::string_view text) {
    if (window_.isNull()) return;
    auto* dialog = new DialogViewController(window_);
    dialog->setText(ui::Localized::key(text));
    dialog->present();
}

void ScreenPresenter::presentAlert(const Alert& alert) {
    if (window_.isNull()) return;
    ui::presentAlert(window_, alert);
}

}  // namespace pressling::app
