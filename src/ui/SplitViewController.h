#pragma once

#include <QAction>
#include <QPointer>
#include <QWidget>

#include <functional>

class QSplitter;

namespace pressling::ui {

// Two columns side by side — a primary one (the article list) and a secondary one (the
// article's page) — that collapse into one when the window is narrow or the device is a phone.
//
// Collapsed, one column is on screen at a time: the secondary comes on top with showDetail()
// and goes with showPrimary(). At the moment of collapsing, the collapse handler decides which
// one stays: it answers true when it handled the collapse, and then the primary stays; false
// (or no handler) leaves the secondary on top, the default. Expanding shows both again.
//
// displayModeButtonItem() is the action that screens put in their navigation bar: collapsed it
// leads back to the primary column, expanded it hides or shows the primary column.
// Main thread. Owns both columns.
class SplitViewController : public QWidget {
    Q_OBJECT

public:
    // Width below which the columns collapse into one. Default 720.
    static constexpr int kDefaultCollapseWidth = 720;
    using CollapseHandler = std::function<bool(QWidget* secondary, QWidget* primary)>;

    explicit SplitViewController(QWidget* parent = nullptr);

    // Takes both columns, which the split view owns from now on. Call once.
    void setViewControllers(QWidget* primary, QWidget* secondary);
    QWidget* primaryViewController() const { return primary_; }
    QWidget* secondaryViewController() const { return secondary_; }

    void setCollapseHandler(CollapseHandler handler) { collapseHandler_ = std::move(handler); }
    void setCollapseWidth(int width);
    // Collapsed whatever the width (a phone). Default: false.
    void setAlwaysCollapsed(bool always);
    // The primary column's width range while the columns are side by side. Default: any.
    void setPrimaryColumnWidths(int minimum, int maximum);

    bool isCollapsed() const { return collapsed_; }
    // Collapsed with the secondary column on top.
    bool isShowingSecondaryOnly() const { return collapsed_ && secondaryOnTop_; }

    void showDetail();
    void showPrimary();

    QAction* displayModeButtonItem() const { return displayModeAction_; }

signals:
    void collapsedChanged(bool collapsed);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateCollapse();
    void applyVisibility();
    void displayModeTriggered();

    QSplitter* splitter_;
    QPointer<QWidget> primary_;
    QPointer<QWidget> secondary_;
    QAction* displayModeAction_;
    CollapseHandler collapseHandler_;
    int collapseWidth_ = kDefaultCollapseWidth;
    int primaryMinimumWidth_ = 0;
    int primaryMaximumWidth_ = QWIDGETSIZE_MAX;
    bool alwaysCollapsed_ = false;
    bool collapsed_ = false;
    bool secondaryOnTop_ = false;
    bool primaryHidden_ = false;  // expanded, with the primary column put away
};

}  // namespace pressling::ui
