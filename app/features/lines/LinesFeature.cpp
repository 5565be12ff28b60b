// The Edit menu's line, indent and case commands.
#include "app/features/lines/LinesFeature.h"

#include "app/context/EditorContext.h"
#include "app/context/MenuBuilder.h"
#include "app/context/SettingsOwner.h"
#include "app/document/EditorDocument.h"
#include "app/view/ColumnSelectionQuery.h"
#include "app/view/EditorTextView.h"
#include "core/editing/LineOperations.h"

#include <QMenu>

#include <algorithm>

namespace vendrix::app {
namespace {

QList<QKeySequence> keys(std::initializer_list<QKeySequence> list) {
    return QList<QKeySequence>(list);
}

struct LineItem {
    const char16_t* title;
    LineOperation operation;
    QList<QKeySequence> shortcuts;
};

/// The transform of a case command, or null for any other command.
ColumnSelectionQuery::LinePartTransform caseTransform(LineOperation operation) {
    switch (operation) {
    case LineOperation::upperCase:
        return &LineOperations::upper;
    case LineOperation::lowerCase:
        return &LineOperations::lower;
    case LineOperation::titleCase:
        return &LineOperations::title;
    default:
        return nullptr;
    }
}

} // namespace

void LinesFeature::attach(EditorContext& context) {
    m_ctx = &context;
}

bool LinesFeature::activeIsEditable() const {
    EditorDocument* document = m_ctx ? m_ctx->activeDocument() : nullptr;
    return document && !document->isReadOnly();
}

void LinesFeature::contributeMenus(MenuBuilder& builder) {
    builder.addSeparator(MenuID::edit);
    QMenu* lines = builder.addSubmenu(MenuID::edit, QStringLiteral("Satır İşlemleri"));
    auto enabled = [this] { return activeIsEditable(); };
    const std::vector<std::vector<LineItem>> groups{
        {{u"Satırı Çoğalt", LineOperation::duplicate, keys({QKeySequence(Qt::CTRL | Qt::Key_D)})},
         {u"Satırı Sil", LineOperation::deleteLines,
          keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K)})},
         {u"Satırı Yukarı Taşı", LineOperation::moveUp, keys({QKeySequence(Qt::ALT | Qt::Key_Up)})},
         {u"Satırı Aşağı Taşı", LineOperation::moveDown,
          keys({QKeySequence(Qt::ALT | Qt::Key_Down)})}},
        {{u"Artan Sırala", LineOperation::sortAscending, {}},
         {u"Azalan Sırala", LineOperation::sortDescending, {}},
         {u"Yinelenen Satırları Kaldır", LineOperation::removeDuplicates, {}}},
        {{u"Sondaki Boşlukları Kırp", LineOperation::trimTrailingWhitespace, {}},
         {u"Boş Satırları Sil", LineOperation::removeEmptyLines, {}},
         {u"Sekmeleri Boşluğa Çevir", LineOperation::tabsToSpaces, {}},
         {u"Baştaki Boşlukları Sekmeye Çevir", LineOperation::leadingSpacesToTabs, {}}},
        {{u"Satırları Birleştir", LineOperation::joinLines, {}}},
    };
    for (const auto& group : groups) {
        MenuBuilder::addSeparator(lines);
        for (const LineItem& item : group) {
            const QString title = QString::fromUtf16(item.title);
            MenuBuilder::addItem(lines, MenuCommand{title,
                                                    [this, operation = item.operation, title] {
                                                        runLineOperation(operation, title);
                                                    },
                                                    item.shortcuts, enabled});
        }
    }
    MenuBuilder::addSeparator(lines);
    for (bool increase : {true, false}) {
        const QString title =
            increase ? QStringLiteral("Girintiyi Artır") : QStringLiteral("Girintiyi Azalt");
        MenuBuilder::addItem(
            lines,
            MenuCommand{
                title, [this, increase, title] { runIndent(increase, title); }, {}, enabled});
    }

    QMenu* cases = builder.addSubmenu(MenuID::edit, QStringLiteral("Harf Dönüşümü"));
    const std::vector<std::pair<QString, LineOperation>> caseItems{
        {QStringLiteral("BÜYÜK HARF"), LineOperation::upperCase},
        {QStringLiteral("küçük harf"), LineOperation::lowerCase},
        {QStringLiteral("Başlık Harfi"), LineOperation::titleCase},
    };
    for (const auto& [title, operation] : caseItems)
        MenuBuilder::addItem(
            cases, MenuCommand{title,
                               [this, operation, title] { runLineOperation(operation, title); },
                               {},
                               enabled});
}

EditorDocument* LinesFeature::editableShownDocument() const {
    EditorDocument* document = m_ctx ? m_ctx->activeDocument() : nullptr;
    EditorTextView* view = m_ctx ? m_ctx->textView() : nullptr;
    if (!document || document->isReadOnly() || !view || view->document() != document ||
        !document->isLoaded())
        return nullptr;
    return document;
}

TextRange LinesFeature::effectiveSelection() const {
    if (auto column = m_ctx->columnSelection())
        return column->bounds;
    EditorTextView* view = m_ctx->textView();
    return view ? view->selectedRange() : TextRange{};
}

void LinesFeature::applyLineEdit(EditorDocument& document, const std::optional<TextEdit>& edit,
                                 const QString& title) {
    const bool changes = edit && edit->range.fits(document.length()) &&
                         document.storageForReading()->contiguous(edit->range) != edit->replacement;
    if (!changes) {
        m_ctx->showMessage(QStringLiteral("Değişiklik yok"), 4);
        return;
    }
    if (m_ctx->applyEdits(document, {edit->range}, {edit->replacement}, title))
        if (EditorTextView* view = m_ctx->textView())
            view->setSelectedRange(edit->selection);
}

void LinesFeature::runLineOperation(LineOperation operation, const QString& title) {
    EditorDocument* document = editableShownDocument();
    if (!document)
        return;
    EditorTextView* view = m_ctx->textView();
    const auto column = m_ctx->columnSelection();
    // A case command changes each line's part of a rectangle; the view's column selection
    // applies it itself, so that the rectangle stays selected (an edit made here would end
    // column mode). Carets without width take the command on their bounding range.
    if (const auto transform = caseTransform(operation); column && column->hasWidth && transform)
        if (ColumnSelectionQuery* query = view->columnSelection();
            query && query->isActive() && query->transformLineParts(transform, title))
            return;
    const std::u16string_view text = document->storageForReading()->contiguous();
    const TextRange selection = column ? column->bounds : view->selectedRange();
    if (column && operation == LineOperation::duplicate) {
        applyLineEdit(*document,
                      LineOperations::duplicateLines(text, document->lineIndex(), selection),
                      title);
        return;
    }
    applyLineEdit(
        *document,
        LineOperations::apply(operation, text, document->lineIndex(), selection, view->tabWidth()),
        title);
}

void LinesFeature::runIndent(bool increase, const QString& title) {
    EditorDocument* document = editableShownDocument();
    if (!document)
        return;
    const std::u16string_view text = document->storageForReading()->contiguous();
    const int tabWidth = m_ctx->textView()->tabWidth();
    const TextRange selection = effectiveSelection();
    const SettingsOwner* options = m_ctx->viewOptions();
    const bool spaces = options && options->settings().insertSpaces;
    const std::u16string unit =
        spaces ? std::u16string(static_cast<std::size_t>(std::max(1, tabWidth)), u' ') : u"\t";
    applyLineEdit(*document,
                  increase
                      ? LineOperations::indent(text, document->lineIndex(), selection, unit)
                      : LineOperations::outdent(text, document->lineIndex(), selection, tabWidth),
                  title);
}

} // namespace vendrix::app
