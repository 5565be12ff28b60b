#include "app/window/StatusBarView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace vendrix::app {
namespace {

/// A label that truncates its text at the tail instead of asking for room.
class TailElidedLabel final : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter), shown);
    }
};

const QString kPosition = QStringLiteral("position");
const QString kSelection = QStringLiteral("selection");
const QString kLineEnding = QStringLiteral("lineEnding");
const QString kEncoding = QStringLiteral("encoding");
const QString kLanguage = QStringLiteral("language");

} // namespace

StatusBarView::StatusBarView(QWidget* parent) : QWidget(parent) {
    setFixedHeight(barHeight);
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(inset, 0, inset, 0);
    m_row->setSpacing(spacing);

    m_message = new TailElidedLabel(this);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_row->addWidget(m_message, 1);

    for (const QString& id : {kPosition, kSelection, kLineEnding, kEncoding, kLanguage}) {
        auto builtin = std::make_shared<StatusBarField>(id, makeLabel(0));
        m_row->addWidget(builtin->label);
        m_fieldsByLabel.insert(builtin->label, builtin);
        m_builtinFields.push_back(std::move(builtin));
    }
    connect(m_builtinFields[2].get(), &StatusBarField::clicked, this,
            &StatusBarView::lineEndingClicked);
    connect(m_builtinFields[3].get(), &StatusBarField::clicked, this,
            &StatusBarView::encodingClicked);

    m_flashTimer.setSingleShot(true);
    connect(&m_flashTimer, &QTimer::timeout, this, [this] { m_message->clear(); });
}

StatusBarView::~StatusBarView() = default;

QLabel* StatusBarView::makeLabel(int minWidth) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(minWidth);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->installEventFilter(this);
    return label;
}

void StatusBarView::showMessage(const QString& text, double seconds) {
    m_message->setText(text);
    m_message->update();
    m_flashTimer.stop();
    if (seconds > 0)
        m_flashTimer.start(static_cast<int>(std::lround(seconds * 1000.0)));
}

QString StatusBarView::message() const {
    return m_message->text();
}

std::shared_ptr<StatusBarField> StatusBarView::addField(const QString& id, int minWidth) {
    auto added = std::make_shared<StatusBarField>(id, makeLabel(minWidth));
    const int before = m_row->indexOf(m_builtinFields[2]->label);
    m_row->insertWidget(before < 0 ? m_row->count() : before, added->label);
    m_fieldsByLabel.insert(added->label, added);
    m_featureFields.push_back(added);
    return added;
}

std::shared_ptr<StatusBarField> StatusBarView::field(const QString& id) const {
    for (const auto* list : {&m_builtinFields, &m_featureFields}) {
        for (const auto& candidate : *list) {
            if (candidate->id == id)
                return candidate;
        }
    }
    return nullptr;
}

QStringList StatusBarView::fieldOrder() const {
    QStringList order;
    for (int i = 0; i < m_row->count(); ++i) {
        auto* label = qobject_cast<QLabel*>(m_row->itemAt(i)->widget());
        if (label != nullptr && m_fieldsByLabel.contains(label))
            order << m_fieldsByLabel.value(label)->id;
    }
    return order;
}

void StatusBarView::setText(const QString& id, const QString& text) {
    if (const auto target = field(id); target != nullptr && target->label)
        target->label->setText(text);
}

void StatusBarView::setPosition(std::int64_t line, std::int64_t column) {
    setText(kPosition, QStringLiteral("Sat %1, Süt %2").arg(line + 1).arg(column + 1));
}

void StatusBarView::setSelectionLength(std::int64_t length) {
    setText(kSelection, QStringLiteral("Seçim: %1").arg(length));
}

void StatusBarView::setLineEnding(LineEnding ending) {
    switch (ending) {
    case LineEnding::lf:
        setText(kLineEnding, QStringLiteral("LF"));
        break;
    case LineEnding::crlf:
        setText(kLineEnding, QStringLiteral("CRLF"));
        break;
    case LineEnding::cr:
        setText(kLineEnding, QStringLiteral("CR"));
        break;
    }
}

void StatusBarView::setEncodingText(const QString& text) {
    setText(kEncoding, text);
}

void StatusBarView::setLanguageText(const QString& text) {
    setText(kLanguage, text);
}

QPoint StatusBarView::popupPosition(const StatusBarField& target) const {
    if (!target.label)
        return mapToGlobal(QPoint(0, height() + popupGap));
    return target.label->mapToGlobal(QPoint(0, target.label->height() + popupGap));
}

bool StatusBarView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* label = qobject_cast<QLabel*>(watched);
        auto* press = static_cast<QMouseEvent*>(event);
        if (label != nullptr && label->isVisible() && press->button() == Qt::LeftButton &&
            m_fieldsByLabel.contains(label)) {
            // Held: a handler may pop up a menu, re-enter and drop the field meanwhile.
            if (const auto field = m_fieldsByLabel.value(label))
                emit field->clicked();
        }
    }
    // The click goes on as usual.
    return QWidget::eventFilter(watched, event);
}

} // namespace vendrix::app
