#pragma once

#include <QObject>
#include <QPointer>

class QAbstractScrollArea;
class QEvent;

namespace pressling::ui {

// The pull gesture of a touch screen on a list: a finger that goes down while the list is at
// its top and drags it downwards by at least pullDistance before it lifts asks for a refresh.
// It watches the list's viewport and takes nothing away from it: taps and drags still select
// and scroll as before. A mouse never pulls (a desktop has the refresh button, F5 and Ctrl+R).
//
// Main thread. It belongs to the scroll area (its parent) and lives as long as it does.
class PullToRefresh final : public QObject {
    Q_OBJECT

public:
    // Default: the height of two list rows, long enough not to fire on a tap that wobbles.
    static constexpr int kDefaultPullDistance = 64;

    explicit PullToRefresh(QAbstractScrollArea* area, int pullDistance = kDefaultPullDistance);

signals:
    // The finger lifted after a long enough pull from the top.
    void refreshRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void press(double y);
    void move(double y);
    void release();

    QPointer<QAbstractScrollArea> area_;
    int pullDistance_;
    bool tracking_ = false;
    double startY_ = 0;
    double pulled_ = 0;
};

}  // namespace pressling::ui
