#include "ui/SplitViewController.h"

#include "ui/Localized.h"

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QSplitter>

namespace pressling::ui {

SplitViewController::SplitViewController(QWidget* parent)
    : QWidget(parent),
      splitter_(new QSplitter(Qt::Horizontal, this)),
      displayModeAction_(new QAction(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter_);
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(1);
    connect(displayModeAction_, &QAction::triggered, this,
            &SplitViewController::displayModeTriggered);
    applyVisibility();
}

void SplitViewController::setViewControllers(QWidget* primary, QWidget* secondary) {
    Q_ASSERT(primary_.isNull() && secondary_.isNull());
    primary_ = primary;
    secondary_ = secondary;
    splitter_->addWidget(primary);
    splitter_->addWidget(secondary);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    updateCollapse();
    applyVisibility();
}

void SplitViewController::setCollapseWidth(int width) {
    collapseWidth_ = width;
    updateCollapse();
}

void SplitViewController::setAlwaysCollapsed(bool always) {
    alwaysCollapsed_ = always;
    updateCollapse();
}

void SplitViewController::setPrimaryColumnWidths(int minimum, int maximum) {
    primaryMinimumWidth_ = minimum;
    primaryMaximumWidth_ = maximum;
    applyVisibility();
}

void SplitViewController::showDetail() {
    if (!collapsed_) return;
    secondaryOnTop_ = true;
    applyVisibility();
}

void SplitViewController::showPrimary() {
    secondaryOnTop_ = false;
    primaryHidden_ = false;
    applyVisibility();
}

void SplitViewController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updateCollapse();
}

void SplitViewController::updateCollapse() {
    const bool collapse = alwaysCollapsed_ || width() < collapseWidth_;
    if (collapse == collapsed_) return;
    collapsed_ = collapse;
    if (collapsed_) {
        const bool handled = collapseHandler_ && !primary_.isNull() && !secondary_.isNull() &&
                             collapseHandler_(secondary_, primary_);
        secondaryOnTop_ = !handled;
    }
    applyVisibility();
    emit collapsedChanged(collapsed_);
}

void SplitViewController::applyVisibility() {
    if (collapsed_) {
        displayModeAction_->setText(Localized::tr("Articles"));
        displayModeAction_->setIcon(QIcon::fromTheme("go-previous"));
        displayModeAction_->setVisible(secondaryOnTop_);
    } else {
        displayModeAction_->setText(primaryHidden_ ? Localized::tr("Show Articles")
                                                   : Localized::tr("Hide Articles"));
        displayModeAction_->setIcon(QIcon::fromTheme("view-split-left-right"));
        displayModeAction_->setVisible(true);
    }
    if (primary_.isNull() || secondary_.isNull()) return;
    // The column widths hold side by side; alone, the primary column takes the whole width.
    primary_->setMinimumWidth(collapsed_ ? 0 : primaryMinimumWidth_);
    primary_->setMaximumWidth(collapsed_ ? QWIDGETSIZE_MAX : primaryMaximumWidth_);
    if (collapsed_) {
        primary_->setVisible(!secondaryOnTop_);
        secondary_->setVisible(secondaryOnTop_);
    } else {
        primary_->setVisible(!primaryHidden_);
        secondary_->setVisible(true);
    }
}

void SplitViewController::displayModeTriggered() {
    if (collapsed_) {
        showPrimary();
    } else {
        primaryHidden_ = !primaryHidden_;
        applyVisibility();
    }
}

}  // namespace pressling::ui
