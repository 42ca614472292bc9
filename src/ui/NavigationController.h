#pragma once

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QToolButton;
class QHBoxLayout;

namespace pressling::ui {

// A screen under a navigation bar: a left button (usually the split view's display-mode
// action), the screen's title (its windowTitle, followed as it changes) and the screen's own
// controls on the right. One screen deep: the article list never pushes further. Main thread.
// Owns the screen and the bar's widgets.
class NavigationController : public QWidget {
    Q_OBJECT

public:
    explicit NavigationController(QWidget* topViewController, QWidget* parent = nullptr);

    QWidget* topViewController() const { return top_; }

    // Puts action as the bar's left button (none: no button). The action is not owned.
    void setLeftBarButtonItem(QAction* action);
    // Adds widget at the right end of the bar, after those added before; takes ownership.
    void addRightBarWidget(QWidget* widget);

    QString title() const;

private:
    QPointer<QWidget> top_;
    QToolButton* leftButton_;
    QLabel* titleLabel_;
    QHBoxLayout* rightItems_;
};

}  // namespace pressling::ui
