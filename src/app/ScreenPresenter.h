#pragma once

#include "flows/SubscribePresenter.h"

#include <QPointer>
#include <QWidget>

namespace pressling::app {

// Shows the add flow's outcome over a window: the transient message as a DialogViewController
// ("Link added"), an alert as a window-modal message box. Texts are translated by their keys.
// Main thread; the window must be alive for each call (the supplier that hands the presenter
// out answers null once it is gone).
class ScreenPresenter final : public SubscribePresenter {
public:
    explicit ScreenPresenter(QWidget* window) : window_(window) {}

    QWidget* window() const { return window_; }

    void showTransientMessage(std::string_view text) override;
    void presentAlert(const Alert& alert) override;

private:
    QPointer<QWidget> window_;
};

}  // namespace pressling::app
