#pragma once

#include <QStyledItemDelegate>

namespace vendrix::app {

/// Paints a hit row's text with its match emphasised (bold, on the highlight colour); other
/// rows as usual. The text is always drawn as plain text.
class HitItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

} // namespace vendrix::app
