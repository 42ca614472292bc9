#pragma once

#include <string>
#include <vector>

namespace pressling {

// One button of an Alert. Choosing any button closes the alert; that is its whole effect
// unless the presenter's caller says otherwise.
struct AlertAction {
    enum class Style { defaultStyle, cancel, destructive };
    std::string title;
    Style style = Style::defaultStyle;

    friend bool operator==(const AlertAction&, const AlertAction&) = default;
};

// A modal alert: a title, a message and its buttons in order. A plain value.
struct Alert {
    std::string title;
    std::string message;
    std::vector<AlertAction> actions;

    friend bool operator==(const Alert&, const Alert&) = default;
};

}  // namespace pressling
