#include "app/SidebarListCell.h"

#include <QApplication>
#include <QPalette>

namespace pressling::app {
namespace {

// The system blue, a shade lighter on a dark background, as the platform's sidebars use it.
QColor systemBlue(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(10, 132, 255)
                                                             : QColor(0, 122, 255);
}

}  // namespace

QSize SidebarListCell::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(std::max(size.height(), 30));
    return size;
}

void SidebarListCell::initStyleOption(QStyleOptionViewItem* option,
                                      const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(kHeaderRole).toBool()) {
        option->font.setBold(true);
        option->font.setPointSizeF(option->font.pointSizeF() * 0.85);
        option->palette.setColor(QPalette::Text, option->palette.color(QPalette::PlaceholderText));
        option->state &= ~QStyle::State_Selected;
        option->backgroundBrush = Qt::NoBrush;
        return;
    }
    const QColor blue = systemBlue(option->palette);
    option->palette.setColor(QPalette::Highlight, blue);
    option->palette.setColor(QPalette::HighlightedText, Qt::white);
    option->backgroundBrush =
        option->state.testFlag(QStyle::State_Selected) ? QBrush(blue) : QBrush(Qt::transparent);
}

}  // namespace pressling::app
