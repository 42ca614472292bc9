#include "ui/PullToRefresh.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QScrollBar>
#include <QTouchEvent>

namespace pressling::ui {
namespace {

bool fromTouchScreen(const QPointerEvent* event) {
    const QPointingDevice* device = event->pointingDevice();
    return device != nullptr && device->type() == QInputDevice::DeviceType::TouchScreen;
}

}  // namespace

PullToRefresh::PullToRefresh(QAbstractScrollArea* area, int pullDistance)
    : QObject(area), area_(area), pullDistance_(pullDistance) {
    Q_ASSERT(area != nullptr);
    area->viewport()->installEventFilter(this);
}

bool PullToRefresh::eventFilter(QObject* watched, QEvent* event) {
    if (area_.isNull() || watched != area_->viewport()) return false;
    switch (event->type()) {
        // A view that does not take touches gets them as mouse events that name the touch
        // screen; one that does (kinetic scrolling) gets the touches themselves.
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!fromTouchScreen(mouse)) break;
            if (event->type() == QEvent::MouseButtonPress) press(mouse->position().y());
            if (event->type() == QEvent::MouseMove) move(mouse->position().y());
            if (event->type() == QEvent::MouseButtonRelease) release();
            break;
        }
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TouchCancel: {
            const auto* touch = static_cast<QTouchEvent*>(event);
            if (touch->points().size() != 1) {
                tracking_ = false;  // two fingers zoom or scroll, they do not pull
                break;
            }
            const double y = touch->points().front().position().y();
            if (event->type() == QEvent::TouchBegin) press(y);
            if (event->type() == QEvent::TouchUpdate) move(y);
            if (event->type() == QEvent::TouchEnd) release();
            if (event->type() == QEvent::TouchCancel) tracking_ = false;
            break;
        }
        default:
            break;
    }
    return false;
}

void PullToRefresh::press(double y) {
    const QScrollBar* bar = area_->verticalScrollBar();
    tracking_ = bar->value() == bar->minimum();
    startY_ = y;
    pulled_ = 0;
}

void PullToRefresh::move(double y) {
    if (!tracking_) return;
    const QScrollBar* bar = area_->verticalScrollBar();
    // The drag scrolled the list instead: it was not pulled at its top.
    if (bar->value() != bar->minimum()) {
        tracking_ = false;
        return;
    }
    pulled_ = y - startY_;
}

void PullToRefresh::release() {
    const bool pulledFarEnough = tracking_ && pulled_ >= pullDistance_;
    tracking_ = false;
    if (pulledFarEnough) emit refreshRequested();
}

}  // namespace pressling::ui
