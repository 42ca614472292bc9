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
    addColumns({primary, secondary});
}

void SplitViewController::setViewControllers(QWidget* primary, QWidget* supplementary,
                                             QWidget* secondary) {
    Q_ASSERT(primary_.isNull() && secondary_.isNull());
    primary_ = primary;
    supplementary_ = supplementary;
    secondary_ = secondary;
    addColumns({primary, supplementary, secondary});
}

void SplitViewController::addColumns(const std::vector<QWidget*>& columns) {
    for (QWidget* column : columns) splitter_->addWidget(column);
    // The last column (the page) takes what the others leave.
    for (int i = 0; i < int(columns.size()); ++i) {
        splitter_->setStretchFactor(i, i + 1 == int(columns.size()) ? 1 : 0);
    }
    updateCollapse();
    applyVisibility();
}

QWidget* SplitViewController::viewController(Column column) const {
    switch (column) {
        case Column::primary:
            return primary_;
        case Column::supplementary:
            return supplementary_;
        case Column::secondary:
            return secondary_;
    }
    return nullptr;
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
    primaryWidths_ = {minimum, maximum};
    applyVisibility();
}

void SplitViewController::setSupplementaryColumnWidths(int minimum, int maximum) {
    supplementaryWidths_ = {minimum, maximum};
    applyVisibility();
}

void SplitViewController::showDetail() {
    if (!collapsed_) return;
    top_ = Column::secondary;
    applyVisibility();
}

void SplitViewController::showSupplementary() {
    if (!collapsed_ || supplementary_.isNull()) return;
    top_ = Column::supplementary;
    applyVisibility();
}

void SplitViewController::showPrimary() {
    top_ = Column::primary;
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
    if (collapsed_ && !primary_.isNull() && !secondary_.isNull()) {
        if (!supplementary_.isNull()) {
            top_ = topColumnHandler_ ? topColumnHandler_(Column::secondary) : Column::secondary;
        } else {
            const bool handled = collapseHandler_ && collapseHandler_(secondary_, primary_);
            top_ = handled ? Column::primary : Column::secondary;
        }
    } else if (collapsed_) {
        top_ = Column::secondary;
    }
    applyVisibility();
    emit collapsedChanged(collapsed_);
}

void SplitViewController::applyVisibility() {
    if (collapsed_) {
        // Back one column: to the list from the page, to the sources (named by the primary
        // column's title) from the list.
        const QString back = primary_.isNull() ? QString() : primary_->windowTitle();
        displayModeAction_->setText(
            top_ == Column::supplementary && !back.isEmpty() ? back : Localized::tr("Articles"));
        displayModeAction_->setIcon(QIcon::fromTheme("go-previous"));
        displayModeAction_->setVisible(top_ != Column::primary);
    } else if (supplementary_.isNull()) {
        displayModeAction_->setText(primaryHidden_ ? Localized::tr("Show Articles")
                                                   : Localized::tr("Hide Articles"));
        displayModeAction_->setIcon(QIcon::fromTheme("view-split-left-right"));
        displayModeAction_->setVisible(true);
    } else {
        displayModeAction_->setText(primaryHidden_ ? Localized::tr("Show Sources")
                                                   : Localized::tr("Hide Sources"));
        displayModeAction_->setIcon(QIcon::fromTheme("view-split-left-right"));
        displayModeAction_->setVisible(true);
    }
    if (primary_.isNull() || secondary_.isNull()) return;
    // The column widths hold side by side; alone, a column takes the whole width.
    const auto limit = [this](QWidget* column, Widths widths) {
        if (column == nullptr) return;
        column->setMinimumWidth(collapsed_ ? 0 : widths.minimum);
        column->setMaximumWidth(collapsed_ ? QWIDGETSIZE_MAX : widths.maximum);
    };
    limit(primary_, primaryWidths_);
    limit(supplementary_, supplementaryWidths_);
    if (collapsed_) {
        primary_->setVisible(top_ == Column::primary);
        if (supplementary_) supplementary_->setVisible(top_ == Column::supplementary);
        secondary_->setVisible(top_ == Column::secondary);
    } else {
        primary_->setVisible(!primaryHidden_);
        if (supplementary_) supplementary_->setVisible(true);
        secondary_->setVisible(true);
    }
}

void SplitViewController::displayModeTriggered() {
    if (collapsed_) {
        if (top_ == Column::secondary && !supplementary_.isNull()) {
            top_ = Column::supplementary;
            applyVisibility();
        } else {
            showPrimary();
        }
    } else {
        primaryHidden_ = !primaryHidden_;
        applyVisibility();
    }
}

}  // namespace pressling::ui
