#include "ui/NavigationController.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace pressling::ui {

NavigationController::NavigationController(QWidget* topViewController, QWidget* parent)
    : QWidget(parent),
      top_(topViewController),
      leftButton_(new QToolButton(this)),
      titleLabel_(new QLabel(this)),
      rightItems_(new QHBoxLayout()) {
    auto* bar = new QFrame(this);
    bar->setObjectName("navigationBar");
    bar->setFrameShape(QFrame::NoFrame);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(6, 4, 6, 4);
    leftButton_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    leftButton_->setAutoRaise(true);
    leftButton_->hide();
    titleLabel_->setObjectName("navigationTitle");
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setTextFormat(Qt::PlainText);
    titleLabel_->setMinimumWidth(40);
    QFont titleFont = titleLabel_->font();
    titleFont.setBold(true);
    titleLabel_->setFont(titleFont);
    // A long title must not widen the window: it is elided by the label's width.
    titleLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    barLayout->addWidget(leftButton_);
    barLayout->addWidget(titleLabel_, 1);
    barLayout->addLayout(rightItems_);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setForegroundRole(QPalette::Mid);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(line);
    layout->addWidget(topViewController, 1);

    auto showTitle = [this] {
        const QString title = top_.isNull() ? QString() : top_->windowTitle();
        titleLabel_->setToolTip(title);
        titleLabel_->setText(title);
    };
    connect(topViewController, &QWidget::windowTitleChanged, this, showTitle);
    showTitle();
}

void NavigationController::setLeftBarButtonItem(QAction* action) {
    leftButton_->setDefaultAction(action);
    leftButton_->setVisible(action != nullptr && action->isVisible());
    if (action != nullptr) {
        connect(action, &QAction::changed, leftButton_,
                [this, action] { leftButton_->setVisible(action->isVisible()); });
    }
}

void NavigationController::addRightBarWidget(QWidget* widget) { rightItems_->addWidget(widget); }

QString NavigationController::title() const { return titleLabel_->text(); }

}  // namespace pressling::ui
