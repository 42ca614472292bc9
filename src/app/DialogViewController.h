#pragma once

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;

namespace Ui {
class DialogViewController;
}

namespace pressling::app {

// A transient message ("DialogViewController"): one line of text over the whole window, which
// stays visible behind it, fading in, and going away by itself one second after it has
// appeared. The add flow confirms a new subscription with it ("Link added").
//
// Set the text, then present(): the label is filled as the screen is laid out (no text: an
// empty label), the fade-in runs, and when it has ended the dismissal is scheduled on the main
// queue for kDismissDelay later. The dismissal fades out and deletes the dialog; it happens
// once, whatever happened on screen meanwhile. A dialog is never reused. Main thread. Owned by
// the window it covers, so it also goes when the window goes first.
class DialogViewController final : public QWidget {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDismissDelay{1000};
    static constexpr std::chrono::milliseconds kFadeDuration{200};

    // A dialog over presenter's window; presenter not null.
    explicit DialogViewController(QWidget* presenter);
    ~DialogViewController() override;

    const std::optional<QString>& text() const { return text_; }
    void setText(std::optional<QString> text) { text_ = std::move(text); }

    void present();
    bool hasAppeared() const { return appeared_; }
    QLabel* textLabel() const;

signals:
    // The fade-in has ended and the dismissal is scheduled.
    void appeared();
    // The fade-out has begun; the dialog is deleted when it ends.
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void viewDidLoad();
    void viewDidAppear();
    void dismiss();

    std::unique_ptr<Ui::DialogViewController> ui_;
    std::optional<QString> text_;
    QGraphicsOpacityEffect* opacity_;
    bool appeared_ = false;
    bool dismissing_ = false;
};

}  // namespace pressling::app
