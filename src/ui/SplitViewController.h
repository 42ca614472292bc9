#pragma once

#include <QAction>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QSplitter;

namespace pressling::ui {

// Columns side by side that collapse into one when the window is narrow or the device is a
// phone. Two columns: a primary one (the article list) and a secondary one (the article's
// page). Three columns (the triple-column style): a primary one (the sidebar of sources), a
// supplementary one (the article list) and the secondary one.
//
// Collapsed, one column is on screen at a time: the secondary comes on top with showDetail(),
// the supplementary with showSupplementary() and the primary with showPrimary(). At the moment
// of collapsing, two columns ask the collapse handler: it answers true when it handled the
// collapse, and then the primary stays; false (or no handler) leaves the secondary on top, the
// default. Three columns ask the top-column handler instead, with the secondary proposed, and
// show the column it answers (no handler: the proposed one). Expanding shows them all again.
//
// displayModeButtonItem() is the action that screens put in their navigation bar: collapsed it
// leads back one column (from the secondary to the supplementary, when there is one, and from
// there to the primary), expanded it hides or shows the primary column.
// Main thread. Owns its columns.
class SplitViewController : public QWidget {
    Q_OBJECT

public:
    enum class Column { primary, supplementary, secondary };

    // Width below which the columns collapse into one. Default 720.
    static constexpr int kDefaultCollapseWidth = 720;
    using CollapseHandler = std::function<bool(QWidget* secondary, QWidget* primary)>;
    using TopColumnHandler = std::function<Column(Column proposed)>;

    explicit SplitViewController(QWidget* parent = nullptr);

    // Takes the columns, which the split view owns from now on. Call one of them, once.
    void setViewControllers(QWidget* primary, QWidget* secondary);
    void setViewControllers(QWidget* primary, QWidget* supplementary, QWidget* secondary);
    QWidget* primaryViewController() const { return primary_; }
    // Null with two columns.
    QWidget* supplementaryViewController() const { return supplementary_; }
    QWidget* secondaryViewController() const { return secondary_; }
    QWidget* viewController(Column column) const;

    void setCollapseHandler(CollapseHandler handler) { collapseHandler_ = std::move(handler); }
    void setTopColumnForCollapsingHandler(TopColumnHandler handler) {
        topColumnHandler_ = std::move(handler);
    }
    void setCollapseWidth(int width);
    // Collapsed whatever the width (a phone). Default: false.
    void setAlwaysCollapsed(bool always);
    // A column's width range while the columns are side by side. Default: any.
    void setPrimaryColumnWidths(int minimum, int maximum);
    void setSupplementaryColumnWidths(int minimum, int maximum);

    bool isCollapsed() const { return collapsed_; }
    // The column on screen while collapsed.
    Column topColumn() const { return top_; }
    // Collapsed with the secondary column on top.
    bool isShowingSecondaryOnly() const { return collapsed_ && top_ == Column::secondary; }

    void showDetail();
    // Collapsed: the supplementary column on top. Expanded it is on screen already.
    void showSupplementary();
    void showPrimary();

    QAction* displayModeButtonItem() const { return displayModeAction_; }

signals:
    void collapsedChanged(bool collapsed);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Widths {
        int minimum = 0;
        int maximum = QWIDGETSIZE_MAX;
    };
    void addColumns(const std::vector<QWidget*>& columns);
    void updateCollapse();
    void applyVisibility();
    void displayModeTriggered();

    QSplitter* splitter_;
    QPointer<QWidget> primary_;
    QPointer<QWidget> supplementary_;
    QPointer<QWidget> secondary_;
    QAction* displayModeAction_;
    CollapseHandler collapseHandler_;
    TopColumnHandler topColumnHandler_;
    int collapseWidth_ = kDefaultCollapseWidth;
    Widths primaryWidths_;
    Widths supplementaryWidths_;
    bool alwaysCollapsed_ = false;
    bool collapsed_ = false;
    Column top_ = Column::primary;
    bool primaryHidden_ = false;  // expanded, with the primary column put away
};

}  // namespace pressling::ui
