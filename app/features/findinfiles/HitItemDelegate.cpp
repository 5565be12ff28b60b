#include "app/features/findinfiles/HitItemDelegate.h"

#include "app/features/findinfiles/FileResultsModel.h"

#include <QApplication>
#include <QPainter>

namespace vendrix::app {

void HitItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QVariant start = index.data(FileResultsModel::matchStartRole);
    if (!start.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString text = item.text;
    item.text.clear();
    const QWidget* widget = item.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // Background, selection, focus and check box as the style draws them; the text below.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);
    QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    area.adjust(2, 0, -2, 0);

    const int from = std::clamp(start.toInt(), 0, static_cast<int>(text.size()));
    const int length = std::clamp(index.data(FileResultsModel::matchLengthRole).toInt(), 0,
                                  static_cast<int>(text.size()) - from);
    const QString parts[3] = {text.left(from), text.mid(from, length), text.mid(from + length)};
    const bool selected = item.state & QStyle::State_Selected;
    const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
    QFont bold = item.font;
    bold.setBold(true);

    painter->save();
    painter->setClipRect(area);
    int x = area.left();
    for (int part = 0; part < 3 && x < area.right(); ++part) {
        const QFont& font = part == 1 ? bold : item.font;
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance(parts[part]);
        const QRect box(x, area.top(), width, area.height());
        if (part == 1 && !selected) {
            QColor mark = item.palette.color(QPalette::Highlight);
            mark.setAlpha(70);
            painter->fillRect(box, mark);
        }
        painter->setFont(font);
        painter->setPen(item.palette.color(QPalette::Normal, textRole));
        painter->drawText(box, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, parts[part]);
        x += width;
    }
    painter->restore();
}

} // namespace vendrix::app
