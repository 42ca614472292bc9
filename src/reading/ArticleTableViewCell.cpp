#include "reading/ArticleTableViewCell.h"

#include "reading/ArticleListModel.h"
#include "reading/SystemSymbols.h"
#include "ui/Platform.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace pressling::reading {
namespace {

constexpr int kPadding = 8;
constexpr int kLeftMargin = 28;  // room for the dot in front of the text
constexpr int kDisclosureWidth = 18;

QFont smallFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 0.85);
    return font;
}

QFont titleFont(const QFont& base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * 1.08);
    font.setWeight(QFont::DemiBold);
    return font;
}

const QColor kSystemBlue(0x00, 0x7A, 0xFF);
const QColor kSystemOrange(0xFF, 0x95, 0x00);

// The symbol in white, to sit on a coloured button.
QPixmap whiteSymbol(const QString& name, int size) {
    QPixmap pixmap = systemSymbol(name).pixmap(size, size);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), Qt::white);
    return pixmap;
}

QColor secondaryLabelColor(const QPalette& palette) {
    QColor color = palette.color(QPalette::Text);
    color.setAlphaF(0.6f);
    return color;
}

}  // namespace

QSize ArticleTableViewCell::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int height = kPadding + QFontMetrics(smallFont(option.font)).height() + 3 +
                       QFontMetrics(titleFont(option.font)).height() + kPadding + 2;
    return {200, height};
}

void ArticleTableViewCell::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    if (index.data(ArticleListModel::IsSectionRole).toBool()) {
        paintHeader(painter, option, index);
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QPalette& palette = option.palette;
    const bool highlighted = option.state & (QStyle::State_Selected | QStyle::State_Sunken);
    const QRect rect = option.rect;

    if (highlighted) {
        QPainterPath band;
        band.addRoundedRect(rect.adjusted(kSelectionInset, kSelectionInset / 2, -kSelectionInset,
                                          -kSelectionInset / 2),
                            kSelectionRadius, kSelectionRadius);
        painter->fillPath(band, palette.color(QPalette::Link));
    }

    const QColor white(Qt::white);
    const QFont small = smallFont(option.font);
    const QFont title = titleFont(option.font);
    const QFontMetrics smallMetrics(small);
    const QFontMetrics titleMetrics(title);
    const int right =
        rect.right() - kPadding - kSelectionInset - (ui::isPhone() ? kDisclosureWidth : 0);
    const int left = rect.left() + kLeftMargin;
    const int firstLineTop = rect.top() + kPadding;
    const int secondLineTop = firstLineTop + smallMetrics.height() + 3;

    // The row's buttons, when shown, take its right end: the date gives way to them and the
    // texts end before them.
    const bool showsActions = option.state & (QStyle::State_MouseOver | QStyle::State_Selected);
    const int textRight =
        showsActions ? actionButtonRect(rect, RowAction::addToReadingList).left() - 8 : right;

    // dateLabel, right-aligned on the first line; webLabel gets what is left of it.
    const QString date =
        showsActions ? QString() : index.data(ArticleListModel::DateTextRole).toString();
    const int dateWidth = smallMetrics.horizontalAdvance(date);
    painter->setFont(small);
    painter->setPen(highlighted ? white : secondaryLabelColor(palette));
    painter->drawText(QRect(right - dateWidth, firstLineTop, dateWidth, smallMetrics.height()),
                      Qt::AlignRight | Qt::AlignVCenter, date);

    const QString web = index.data(ArticleListModel::WebRole).toString();
    QFont webFont = small;
    webFont.setWeight(QFont::DemiBold);
    painter->setFont(webFont);
    painter->setPen(highlighted ? white : palette.color(QPalette::Link));
    const int webWidth = std::max(0, textRight - (date.isEmpty() ? 0 : dateWidth + 8) - left);
    painter->drawText(QRect(left, firstLineTop, webWidth, smallMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      QFontMetrics(webFont).elidedText(web, Qt::ElideRight, webWidth));

    const QString text = index.data(ArticleListModel::TitleRole).toString();
    painter->setFont(title);
    painter->setPen(highlighted ? white : palette.color(QPalette::Text));
    const int titleWidth = std::max(0, textRight - left);
    painter->drawText(QRect(left, secondLineTop, titleWidth, titleMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      titleMetrics.elidedText(text, Qt::ElideRight, titleWidth));

    if (index.data(ArticleListModel::IsNewRole).toBool()) {
        const int y = secondLineTop + titleMetrics.height() / 2;
        const QRectF dot(
            rect.left() + (kLeftMargin + kSelectionInset) / 2.0 - kIndicatorDiameter / 2.0,
            y - kIndicatorDiameter / 2.0, kIndicatorDiameter, kIndicatorDiameter);
        painter->setPen(Qt::NoPen);
        painter->setBrush(highlighted ? white : palette.color(QPalette::Link));
        painter->drawEllipse(dot);
    }

    if (ui::isPhone()) {
        QStyleOption arrow;
        arrow.rect = QRect(rect.right() - kSelectionInset - kDisclosureWidth, rect.top(),
                           kDisclosureWidth, rect.height());
        arrow.palette = palette;
        arrow.palette.setColor(QPalette::ButtonText,
                               highlighted ? white : secondaryLabelColor(palette));
        arrow.state = QStyle::State_Enabled;
        const QStyle* style = option.widget ? option.widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_IndicatorArrowRight, &arrow, painter, option.widget);
    }

    if (showsActions) paintActionButtons(painter, rect);

    // A hairline between rows, from the text's left edge, as list rows have.
    QColor separator = palette.color(QPalette::Text);
    separator.setAlphaF(0.12f);
    painter->setPen(separator);
    painter->drawLine(left, rect.bottom(), rect.right(), rect.bottom());
    painter->restore();
}

QRect ArticleTableViewCell::actionButtonRect(const QRect& rowRect, RowAction action) {
    const int right = rowRect.right() - kSelectionInset - kPadding -
                      (ui::isPhone() ? kDisclosureWidth : 0) -
                      (action == RowAction::addToReadingList ? kActionButtonDiameter + 6 : 0);
    return {right - kActionButtonDiameter + 1, rowRect.center().y() - kActionButtonDiameter / 2,
            kActionButtonDiameter, kActionButtonDiameter};
}

void ArticleTableViewCell::paintActionButtons(QPainter* painter, const QRect& rowRect) const {
    static const QPixmap glasses = whiteSymbol("eyeglasses", 16);
    static const QPixmap copy = whiteSymbol("doc.on.doc.fill", 16);
    const std::pair<RowAction, std::pair<QColor, const QPixmap*>> buttons[] = {
        {RowAction::addToReadingList, {kSystemBlue, &glasses}},
        {RowAction::copy, {kSystemOrange, &copy}}};
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    for (const auto& [action, look] : buttons) {
        const QRect button = actionButtonRect(rowRect, action);
        painter->setPen(QPen(Qt::white, 1.5));
        painter->setBrush(look.first);
        painter->drawEllipse(button);
        const QPixmap& icon = *look.second;
        const QSizeF size = icon.deviceIndependentSize();
        painter->drawPixmap(QPointF(button.center().x() + 0.5 - size.width() / 2,
                                    button.center().y() + 0.5 - size.height() / 2),
                            icon);
    }
    painter->restore();
}

void ArticleTableViewCell::paintHeader(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const {
    painter->save();
    QFont font = option.font;
    font.setPointSizeF(option.font.pointSizeF() * 1.15);
    font.setBold(true);
    painter->setFont(font);
    // A header is a disabled row to the view (nothing selects it), but it reads as a label.
    painter->setPen(option.palette.color(QPalette::Active, QPalette::Text));
    const QRect text = option.rect.adjusted(kLeftMargin - 12, 0, -kPadding, -kPadding / 2);
    painter->drawText(text, Qt::AlignLeft | Qt::AlignBottom,
                      QFontMetrics(font).elidedText(index.data(Qt::DisplayRole).toString(),
                                                    Qt::ElideRight, text.width()));
    painter->restore();
}

}  // namespace pressling::reading
