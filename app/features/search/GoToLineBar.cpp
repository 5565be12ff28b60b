#include "app/features/search/GoToLineBar.h"

#include "app/context/EditorContext.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/SearchText.h"
#include "app/view/EditorTextView.h"
#include "core/text/GoToLineTarget.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vendrix::app {

GoToLineBar::GoToLineBar(EditorContext& context, QWidget* parent) : QWidget(parent), ctx(context) {
    setObjectName(QStringLiteral("goToLineBar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    auto* label = new QLabel(QStringLiteral("Satıra git:"), this);
    layout->addWidget(label);
    field = new QLineEdit(this);
    label->setBuddy(field);
    field->setAccessibleName(QStringLiteral("Satır numarası"));
    field->setMaximumWidth(160);
    field->installEventFilter(this);
    layout->addWidget(field);
    hint = new QLabel(this);
    hint->setTextFormat(Qt::PlainText);
    layout->addWidget(hint, 1);
    auto* go = new QPushButton(QStringLiteral("Git"), this);
    go->setAutoDefault(false);
    connect(go, &QPushButton::clicked, this, [this] { commit(); });
    layout->addWidget(go);
    auto* closeButton = new QPushButton(QStringLiteral("✕"), this);
    closeButton->setAutoDefault(false);
    closeButton->setToolTip(QStringLiteral("Kapat"));
    closeButton->setFixedWidth(28);
    closeButton->setAccessibleName(QStringLiteral("Satıra git çubuğunu kapat"));
    hint->setAccessibleDescription(QStringLiteral("Satır aralığı"));
    connect(closeButton, &QPushButton::clicked, this, [this] { emit closeRequested(); });
    layout->addWidget(closeButton);
}

void GoToLineBar::prepare() {
    EditorDocument* document = ctx.activeDocument();
    std::int64_t current = 1;
    if (document && document->ensureLoaded()) {
        EditorTextView* view = ctx.textView();
        const TextRange selection =
            view && view->document() == document ? view->selectedRange() : document->selection();
        current = document->lineIndex().lineNumber(selection.location) + 1;
    }
    refreshRange();
    field->setText(QString::number(current));
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

void GoToLineBar::refreshRange() {
    // Only a loaded text has a line count; a tab still loading shows the range once shown.
    EditorDocument* document = ctx.activeDocument();
    const std::int64_t lines =
        document && document->isLoaded() ? document->lineIndex().lineCount() : 1;
    hint->setText(QStringLiteral("1–%1 (satır[:sütun])").arg(static_cast<long long>(lines)));
}

bool GoToLineBar::commit() {
    const auto target = GoToLineTarget::parse(toU16(field->text()));
    if (!target) {
        ctx.showMessage(invalidMessage, 4);
        hint->setText(invalidMessage);
        return false;
    }
    EditorDocument* document = ctx.activeDocument();
    if (!document || !document->ensureLoaded())
        return false;
    const std::int64_t location = target->location(document->lineIndex());
    ctx.select({location, 0});
    if (EditorTextView* view = ctx.textView())
        view->setFocus(Qt::OtherFocusReason);
    const std::int64_t line = document->lineIndex().lineNumber(location) + 1;
    ctx.showMessage(QStringLiteral("Satır %1").arg(static_cast<long long>(line)), 4);
    return true;
}

bool GoToLineBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            commit();
            return true;
        }
        if (key == Qt::Key_Escape) {
            emit closeRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vendrix::app
