#pragma once

#include "platform/Alert.h"

#include <functional>
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
inline constexpr std::string_view kListNotSavedTitle = "Link not saved";
inline constexpr std::string_view kListNotSavedMessage =
    "The feed works, but the list of subscriptions could not be saved. Please try again.";
inline constexpr std::string_view kOkeyButton = "Okey";

// Where the add flow shows its outcome: the application's front screen (the window's root
// screen, or what it currently presents), or pressling-cli's console. Called on the main thread
// only; neither call waits for the user.
class SubscribePresenter {
public:
    virtual ~SubscribePresenter() = default;

    // Shows text for a moment; it goes away by itself.
    virtual void showTransientMessage(std::string_view text) = 0;

    // Shows alert until the user picks one of its buttons.
    virtual void presentAlert(const Alert& alert) = 0;
};

// Finds the presenter at the moment the flow needs it: null when there is no window (or no
// screen in it) to present from. The presenter returned stays owned by the supplier and must
// stay alive until the call that asked for it returns.
using PresenterSupplier = std::function<SubscribePresenter*()>;

}  // namespace pressling
