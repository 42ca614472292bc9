#pragma once

#include <QObject>
#include <QPoint>

class QAbstractItemView;

namespace pressling::reading {

// The trailing swipe of a touch screen on a list's row: a finger that goes down on a row and
// moves left by at least swipeDistance, staying within the row's height, before it lifts. Its
// lift is taken from the view, so the row is not opened as a tap would open it; the press has
// already made the row current and selected, as any press does. A mouse never swipes.
//
// It watches the view's viewport, which gets a touch as mouse events naming the touch screen.
// Main thread; it belongs to the view (its parent).
class TrailingSwipe final : public QObject {
    Q_OBJECT

public:
    static constexpr int kDefaultSwipeDistance = 48;

    explicit TrailingSwipe(QAbstractItemView* view, int swipeDistance = kDefaultSwipeDistance);

signals:
    // A finger swiped left over the row at position (viewport coordinates).
    void swiped(QPoint position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAbstractItemView* view_;
    int swipeDistance_;
    bool tracking_ = false;
    QPoint start_;
};

}  // namespace pressling::reading
