#include "reading/SystemSymbols.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>

#include <functional>

namespace pressling::reading {
namespace {

constexpr int kSize = 64;  // drawn large, scaled down by the style

using Drawing = std::function<void(QPainter&, const QColor&)>;

void filter(QPainter& painter, const QColor& color, bool filled) {
    const QRectF circle(4, 4, 56, 56);
    painter.setPen(QPen(color, 5));
    painter.setBrush(filled ? QBrush(color) : Qt::NoBrush);
    painter.drawEllipse(circle);
    // Three lines, each shorter than the one above; knocked out of a filled circle.
    painter.setPen(QPen(filled ? Qt::transparent : color, 5, Qt::SolidLine, Qt::RoundCap));
    if (filled) painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.drawLine(QPointF(18, 22), QPointF(46, 22));
    painter.drawLine(QPointF(23, 32), QPointF(41, 32));
    painter.drawLine(QPointF(28, 42), QPointF(36, 42));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

const QHash<QString, Drawing>& drawings() {
    static const QHash<QString, Drawing> all{
        {"line.horizontal.3.decrease.circle",
         [](QPainter& p, const QColor& c) { filter(p, c, false); }},
        {"line.horizontal.3.decrease.circle.fill",
         [](QPainter& p, const QColor& c) { filter(p, c, true); }},
        {"eyeglasses",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 5));
             p.drawEllipse(QRectF(4, 26, 22, 22));
             p.drawEllipse(QRectF(38, 26, 22, 22));
             p.drawArc(QRectF(26, 30, 12, 10), 0, 180 * 16);
             p.drawLine(QPointF(6, 32), QPointF(12, 16));
             p.drawLine(QPointF(58, 32), QPointF(52, 16));
         }},
        {"doc.on.doc.fill",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 4));
             p.setBrush(c);
             p.drawRoundedRect(QRectF(20, 4, 36, 44), 5, 5);
             p.setBrush(Qt::NoBrush);
             p.drawRoundedRect(QRectF(8, 16, 36, 44), 5, 5);
         }},
        {"square.and.arrow.up",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             QPainterPath box;
             box.moveTo(22, 26), box.lineTo(12, 26), box.lineTo(12, 60), box.lineTo(52, 60);
             box.lineTo(52, 26), box.lineTo(42, 26);
             p.drawPath(box);
             p.drawLine(QPointF(32, 4), QPointF(32, 42));
             p.drawLine(QPointF(22, 14), QPointF(32, 4));
             p.drawLine(QPointF(42, 14), QPointF(32, 4));
         }},
        {"exclamationmark.triangle",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.drawPolygon(QPolygonF({QPointF(32, 5), QPointF(60, 57), QPointF(4, 57)}));
             p.drawLine(QPointF(32, 24), QPointF(32, 40));
             p.drawPoint(QPointF(32, 49));
         }},
        {"trash",
         [](QPainter& p, const QColor& c) {
             p.setPen(QPen(c, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
             p.drawLine(QPointF(8, 14), QPointF(56, 14));
             p.drawLine(QPointF(24, 14), QPointF(26, 5)),
                 p.drawLine(QPointF(26, 5), QPointF(38, 5));
             p.drawLine(QPointF(38, 5), QPointF(40, 14));
             p.drawPolyline(
                 QPolygonF({QPointF(14, 14), QPointF(18, 60), QPointF(46, 60), QPointF(50, 14)}));
         }},
    };
    return all;
}

}  // namespace

QIcon systemSymbol(const QString& name) {
    return systemSymbol(name, QGuiApplication::palette().color(QPalette::ButtonText));
}

QIcon systemSymbol(const QString& name, const QColor& color) {
    static QHash<QString, QIcon> icons;
    const QString key = name + '/' + color.name(QColor::HexArgb);
    if (const auto found = icons.constFind(key); found != icons.constEnd()) return *found;
    const auto drawing = drawings().constFind(name);
    if (drawing == drawings().constEnd()) return {};
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        (*drawing)(painter, color);
    }
    return *icons.insert(key, QIcon(pixmap));
}

}  // namespace pressling::reading
