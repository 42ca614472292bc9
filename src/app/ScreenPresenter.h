#pragma once

#include "flows/SubscribePresenter.h"

#include <QPointer>
#include <QWidget>

#include <memory>

namespace pressling::app {

// Shows the add flow's outcome over one screen (a window, or a sheet open over it): the
// transient message as a DialogViewController ("Link added") covering the screen's window, an
// alert as a window-modal message box with the reason beneath its message. While a check
// started from it runs, the screen shows the busy cursor (it stays usable). Texts are
// translated by their keys. Main thread. Holds the screen weakly: when a sheet closed before
// the outcome came, the outcome shows over the window the sheet was open over; when that is
// gone too, nothing is shown.
class ScreenPresenter final : public SubscribePresenter {
public:
    explicit ScreenPresenter(QWidget* screen);
    ~ScreenPresenter() override;

    // The screen the flow presents from now: the active window of the application, or else
    // fallback's window, and in it the sheet open over it, if any. Null when there is no
    // such window or it is not visible.
    static std::shared_ptr<ScreenPresenter> front(QWidget* fallback);

    QWidget* screen() const { return screen_; }

    void checkStarted() override;
    void checkEnded() override;
    void showTransientMessage(std::string_view text) override;
    void presentAlert(const Alert& alert, std::string_view reason) override;

private:
    QWidget* target() const;

    QPointer<QWidget> screen_;
    QPointer<QWidget> under_;
    int checks_ = 0;
};

}  // namespace pressling::app
