#pragma once

#include <QStyledItemDelegate>

namespace pressling::reading {

// Draws the article list's rows ("newsCell") from an ArticleListModel: the feed's name
// (webLabel, link colour) and the time (dateLabel, secondary colour) on the first line, the
// title (titleLabel) below, and a filled dot (newIndicatorView) in front of the articles the
// latest refresh brought. A selected or pressed row is a rounded band in the link colour,
// inset by 8 points, with white text. On a phone a row ends in a disclosure mark. A day's
// header row shows its title in bold at the bottom of the row.
//
// The row under the pointer and the selected row (a touch screen's trailing swipe selects it)
// also show the row actions as two round
// buttons at their end: "Add to Reading List" (blue, glasses) and "Copy" (orange). The
// delegate only draws them; the list takes the clicks (actionButtonRect says where they are).
//
// Every row has the same height, headers included, so the view never measures rows one by
// one (QTreeView::uniformRowHeights). Main thread.
class ArticleTableViewCell final : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int kSelectionInset = 8;
    static constexpr int kSelectionRadius = 10;
    static constexpr int kIndicatorDiameter = 9;

    static constexpr int kActionButtonDiameter = 28;

    enum class RowAction { addToReadingList, copy };

    using QStyledItemDelegate::QStyledItemDelegate;

    // Where action's button sits in an article row drawn in rowRect.
    static QRect actionButtonRect(const QRect& rowRect, RowAction action);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void paintHeader(QPainter* painter, const QStyleOptionViewItem& option,
                     const QModelIndex& index) const;
    void paintActionButtons(QPainter* painter, const QRect& rowRect) const;
};

}  // namespace pressling::reading
