// The Search menu and the Edit menu's line and case commands.
#include "app/context/MenuBuilder.h"
#include "app/document/EditorDocument.h"
#include "app/features/search/FindController.h"
#include "app/features/search/SearchFeature.h"
#include "app/view/EditorTextView.h"
#include "core/editing/LineOperations.h"

#include <QMenu>

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

} // namespace

bool SearchFeature::activeIsEditable() const {
    EditorDocument* document = ctx ? ctx->activeDocument() : nullptr;
    return document && !document->isReadOnly();
}

void SearchFeature::contributeMenus(MenuBuilder& builder) {
    auto canReplace = [this] { return activeIsEditable() && find && !find->query.isEmpty(); };
    auto add = [&builder](QString title, std::function<void()> action,
                          QList<QKeySequence> shortcuts = {}, std::function<bool()> enabled = {},
                          std::function<bool()> checked = {}) {
        builder.addItem(MenuID::search,
                        MenuCommand{std::move(title), std::move(action), std::move(shortcuts),
                                    std::move(enabled), std::move(checked)});
    };
    add(
        QStringLiteral("Bul…"), [this] { showFindBar(false); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_F)}));
    add(
        QStringLiteral("Bul ve Değiştir…"), [this] { showFindBar(true); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_H), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F)}));
    add(
        QStringLiteral("Sonrakini Bul"), [this] { findNext(true); },
        keys({QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_G)}));
    add(
        QStringLiteral("Öncekini Bul"), [this] { findNext(false); },
        keys({QKeySequence(Qt::SHIFT | Qt::Key_F3),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)}));
    add(
        QStringLiteral("Seçimi Aramada Kullan"), [this] { useSelectionForFind(); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_E)}));
    builder.addSeparator(MenuID::search);
    add(
        QStringLiteral("Değiştir"), [this] { find->replace(); }, {}, canReplace);
    add(
        QStringLiteral("Tümünü Değiştir"), [this] { find->replaceAll(); }, {}, canReplace);
    builder.addSeparator(MenuID::search);
    add(
        QStringLiteral("Tüm Sekmelerde Bul"), [this] { findInAllTabs(); },
        keys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}));
    add(
        QStringLiteral("Tüm Sekmelerde Değiştir"), [this] { find->replaceInAllTabs(); }, {},
        [this] { return find && !find->query.isEmpty(); });
    builder.addSeparator(MenuID::search);
    add(
        QStringLiteral("Satıra Git…"), [this] { showGoToLine(); },
        keys({QKeySequence(Qt::CTRL | Qt::Key_L)}));
    add(
        QStringLiteral("Seçili Kelimeyi Vurgula"), [this] { toggleHighlightSelectedWord(); }, {},
        {}, [this] { return highlightsSelectedWord(); });

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

void SearchFeature::applyLineEdit(EditorDocument& document, const std::optional<TextEdit>& edit,
                                  const QString& title) {
    const bool changes = edit && edit->range.fits(document.length()) &&
                         document.storageForReading()->contiguous(edit->range) != edit->replacement;
    if (!changes) {
        ctx->showMessage(QStringLiteral("Değişiklik yok"), 4);
        return;
    }
    if (ctx->applyEdits(document, {edit->range}, {edit->replacement}, title))
        if (EditorTextView* view = ctx->textView())
            view->setSelectedRange(edit->selection);
}

void SearchFeature::runLineOperation(LineOperation operation, const QString& title) {
    EditorDocument* document = ctx ? ctx->activeDocument() : nullptr;
    EditorTextView* view = ctx ? ctx->textView() : nullptr;
    if (!document || document->isReadOnly() || !view || view->document() != document ||
        !document->isLoaded())
        return;
    const std::u16string_view text = document->storageForReading()->contiguous();
    const int tabWidth = view->tabWidth();
    auto column = ctx->columnSelection();
    const bool isCase = operation == LineOperation::upperCase ||
                        operation == LineOperation::lowerCase ||
                        operation == LineOperation::titleCase;
    if (column && isCase && column->hasWidth) {
        // Each line's part of the rectangle changes on its own.
        const auto transform = [operation](std::u16string_view original) {
            return operation == LineOperation::upperCase   ? LineOperations::upper(original)
                   : operation == LineOperation::lowerCase ? LineOperations::lower(original)
                                                           : LineOperations::title(original);
        };
        // The view's column selection applies it itself, so that its rectangle stays
        // selected (an edit made here would end column mode).
        if (ColumnSelectionQuery* query = view->columnSelection();
            query && query->isActive() && query->transformLineParts(transform, title))
            return;
        std::vector<TextRange> ranges;
        std::vector<std::u16string> replacements;
        for (const TextRange& part : column->lineParts) {
            if (part.empty() || !part.fits(static_cast<std::int64_t>(text.size())))
                continue;
            const auto original = text.substr(static_cast<std::size_t>(part.location),
                                              static_cast<std::size_t>(part.length));
            std::u16string changed = transform(original);
            if (changed != original) {
                ranges.push_back(part);
                replacements.push_back(std::move(changed));
            }
        }
        if (ranges.empty())
            ctx->showMessage(QStringLiteral("Değişiklik yok"), 4);
        else
            ctx->applyEdits(*document, std::move(ranges), std::move(replacements), title);
        return;
    }
    const TextRange selection = column ? column->bounds : view->selectedRange();
    if (column && operation == LineOperation::duplicate) {
        applyLineEdit(*document,
                      LineOperations::duplicateLines(text, document->lineIndex(), selection),
                      title);
        return;
    }
    applyLineEdit(
        *document,
        LineOperations::apply(operation, text, document->lineIndex(), selection, tabWidth), title);
}

void SearchFeature::runIndent(bool increase, const QString& title) {
    EditorDocument* document = ctx ? ctx->activeDocument() : nullptr;
    EditorTextView* view = ctx ? ctx->textView() : nullptr;
    if (!document || document->isReadOnly() || !view || view->document() != document ||
        !document->isLoaded())
        return;
    const std::u16string_view text = document->storageForReading()->contiguous();
    const int tabWidth = view->tabWidth();
    const TextRange selection = effectiveSelection();
    const bool spaces = viewOptions.insertSpaces && viewOptions.insertSpaces();
    const std::u16string unit =
        spaces ? std::u16string(static_cast<std::size_t>(std::max(1, tabWidth)), u' ') : u"\t";
    applyLineEdit(*document,
                  increase
                      ? LineOperations::indent(text, document->lineIndex(), selection, unit)
                      : LineOperations::outdent(text, document->lineIndex(), selection, tabWidth),
                  title);
}

} // namespace vendrix::app
