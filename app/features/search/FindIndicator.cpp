#include "app/features/search/FindIndicator.h"

#include "app/view/EditorTextView.h"

#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace vendrix::app {
namespace {

class IndicatorWidget final : public QWidget {
public:
    explicit IndicatorWidget(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setObjectName(QString::fromLatin1(FindIndicator::objectName));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(200, 150, 0), 1.5));
        painter.setBrush(QColor(255, 230, 0, 120));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 3, 3);
    }
};

} // namespace

void FindIndicator::flash(EditorTextView* view, TextRange range) {
    if (!view)
        return;
    QWidget* viewport = view->viewport();
    // One indicator at a time: a new find replaces the old flash.
    for (QWidget* old : viewport->findChildren<QWidget*>(QString::fromLatin1(objectName),
                                                         Qt::FindDirectChildrenOnly))
        old->deleteLater();
    const QRectF start = view->rectForOffset(range.location);
    const QRectF end = view->rectForOffset(range.end());
    QRectF area(start.left(), start.top(), 0, start.height());
    if (qFuzzyCompare(start.top() + 1, end.top() + 1) && end.left() > start.left())
        area.setRight(end.left());
    else
        area.setRight(viewport->width());
    if (area.width() < 4)
        area.setWidth(4);
    auto* widget = new IndicatorWidget(viewport);
    widget->setGeometry(area.adjusted(-3, -2, 3, 2).toAlignedRect());
    widget->show();
    widget->raise();
    QTimer::singleShot(durationMs, widget, [widget] { widget->deleteLater(); });
}

} // namespace vendrix::app
