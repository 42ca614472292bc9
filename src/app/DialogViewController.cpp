#include "app/DialogViewController.h"

#include "platform/MainQueue.h"
#include "ui_DialogViewController.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>

namespace pressling::app {

DialogViewController::DialogViewController(QWidget* presenter)
    : QWidget(presenter->window()),
      ui_(std::make_unique<Ui::DialogViewController>()),
      opacity_(new QGraphicsOpacityEffect(this)) {
    ui_->setupUi(this);
    setObjectName("DialogViewController");
    setAttribute(Qt::WA_StyledBackground, true);
    // The screen behind stays visible: only the box is painted.
    ui_->box->setObjectName("box");
    ui_->box->setStyleSheet(
        "#box { background-color: rgba(40, 40, 40, 225); border-radius: 14px; }"
        "#box QLabel { color: white; font-weight: 600; }");
    QFont font = ui_->textLabel->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    ui_->textLabel->setFont(font);
    opacity_->setOpacity(0.0);
    setGraphicsEffect(opacity_);
    parentWidget()->installEventFilter(this);
    hide();
}

DialogViewController::~DialogViewController() = default;

QLabel* DialogViewController::textLabel() const { return ui_->textLabel; }

void DialogViewController::present() {
    viewDidLoad();
    setGeometry(parentWidget()->rect());
    show();
    raise();
    auto* fadeIn = new QPropertyAnimation(opacity_, "opacity", this);
    fadeIn->setDuration(int(kFadeDuration.count()));
    fadeIn->setStartValue(0.0);
    fadeIn->setEndValue(1.0);
    connect(fadeIn, &QPropertyAnimation::finished, this, &DialogViewController::viewDidAppear);
    fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
}

void DialogViewController::viewDidLoad() { ui_->textLabel->setText(text_.value_or(QString())); }

void DialogViewController::viewDidAppear() {
    appeared_ = true;
    emit appeared();
    // Counted from the end of the fade-in. The window may close first and take the dialog
    // with it, so the scheduled task only holds it weakly.
    QPointer<DialogViewController> self(this);
    mainQueue().asyncAfter(kDismissDelay, [self] {
        if (self) self->dismiss();
    });
}

void DialogViewController::dismiss() {
    if (dismissing_) return;
    dismissing_ = true;
    emit dismissed();
    auto* fadeOut = new QPropertyAnimation(opacity_, "opacity", this);
    fadeOut->setDuration(int(kFadeDuration.count()));
    fadeOut->setStartValue(opacity_->opacity());
    fadeOut->setEndValue(0.0);
    connect(fadeOut, &QPropertyAnimation::finished, this, &QObject::deleteLater);
    fadeOut->start(QAbstractAnimation::DeleteWhenStopped);
}

bool DialogViewController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pressling::app
