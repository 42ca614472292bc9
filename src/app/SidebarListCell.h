#pragma once

#include <QStyledItemDelegate>

namespace pressling::app {

// How the sidebar draws its entries: a row in the sidebar's list style, with its leading image
// (the red warning of a failing feed) and, while selected, the system blue behind it and clear
// otherwise; the "Sources" header in small bold text without any background. Main thread.
class SidebarListCell final : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Set on the header's index by the model: it is drawn as a header, never as selected.
    static constexpr int kHeaderRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace pressling::app
