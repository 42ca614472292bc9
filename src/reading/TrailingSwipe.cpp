#include "reading/TrailingSwipe.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QPointingDevice>

namespace pressling::reading {

TrailingSwipe::TrailingSwipe(QAbstractItemView* view, int swipeDistance)
    : QObject(view), view_(view), swipeDistance_(swipeDistance) {
    view->viewport()->installEventFilter(this);
}

bool TrailingSwipe::eventFilter(QObject* watched, QEvent* event) {
    if (watched != view_->viewport()) return false;
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease) return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointingDevice* device = mouse->pointingDevice();
    if (device == nullptr || device->type() != QInputDevice::DeviceType::TouchScreen) return false;
    const QPoint at = mouse->position().toPoint();
    if (type == QEvent::MouseButtonPress) {
        tracking_ = view_->indexAt(at).isValid();
        start_ = at;
        return false;
    }
    const int rowHeight = view_->visualRect(view_->indexAt(start_)).height();
    const bool swipe = tracking_ && start_.x() - at.x() >= swipeDistance_ &&
                       std::abs(at.y() - start_.y()) < std::max(rowHeight, 1);
    tracking_ = false;
    if (!swipe) return false;
    emit swiped(start_);
    return true;
}

}  // namespace pressling::reading
