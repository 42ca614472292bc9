#pragma once

#include "platform/Alert.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pressling {

// What subscribe shows the user. The texts are localisation keys, byte for byte: the
// presenter translates them (tr() in the application) and shows the key itself where no
// translation exists.
inline constexpr std::string_view kLinkAddedText = "Link added";
inline constexpr std::string_view kRSSNotFoundTitle = "RSS not found";
inline constexpr std::string_view kRSSNotFoundMessage =
    "We will check your link in order yo verify if we can support it. Maybe it will work in the "
    "next update!";
inline constexpr std::string_view kListNotSavedTitle = "Error";
inline constexpr std::string_view kListNotSavedMessage =
    "The feed works, but the list of subscriptions could not be saved. Please try again.";
inline constexpr std::string_view kOkeyButton = "Okey";

// Where the add flow shows its outcome: the screen of the application it was started from, or
// pressling-cli's console. Called on the main thread only; no call waits for the user.
class SubscribePresenter {
public:
    virtual ~SubscribePresenter() = default;

    // A check started from here is running, and has ended (just before its outcome is shown).
    // Checks may overlap: each start is matched by one end.
    virtual void checkStarted() {}
    virtual void checkEnded() {}

    // Shows text for a moment; it goes away by itself.
    virtual void showTransientMessage(std::string_view text) = 0;

    // Shows alert until the user picks one of its buttons. reason is the failure in words a
    // person understands, shown as it is (not a localisation key) beneath the alert's message.
    virtual void presentAlert(const Alert& alert, std::string_view reason) = 0;
};

// Finds the presenter at the moment the flow starts: null when there is no window (or no
// screen in it) to present from. The flow keeps the presenter until the check's outcome has
// been shown; one whose screen went away meanwhile shows nothing.
using PresenterSupplier = std::function<std::shared_ptr<SubscribePresenter>()>;

}  // namespace pressling
