#include "app/features/formatting/FormattingFeature.h"

#include "app/context/EditorContext.h"
#include "app/context/MenuBuilder.h"
#include "app/context/Prompter.h"
#include "app/document/EditorDocument.h"
#include "app/view/EditorTextView.h"
#include "core/formatting/DocumentFormatter.h"
#include "core/formatting/JSONFormatter.h"
#include "core/text/TextStorage.h"

#include <QDialog>

#include <algorithm>

namespace vendrix::app {

namespace {

constexpr double kMessageSeconds = 4;
constexpr std::int64_t kSampleLength = 4096;

QString qs(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

FormattingFeature::FormattingFeature(SettingsBacking* settings, QObject* parent)
    : QObject(parent), m_settings(settings), m_indent(indentChoice::read(settings)),
      m_formatters(FormattingCommand::formatters()), m_codecs(FormattingCommand::codecs()) {}

FormattingFeature::~FormattingFeature() {
    // The runner sees its owner go: the job is cancelled, its panel closed, and its result
    // never comes back here.
    if (m_job)
        m_job->handle.cancel();
}

void FormattingFeature::attach(EditorContext& context) {
    m_context = &context;
    // Made without a backing (the application's feature list): use the window's.
    if (m_settings == nullptr && context.settingsBacking() != nullptr) {
        m_settings = context.settingsBacking();
        m_indent = indentChoice::read(m_settings);
    }
    m_observation = context.observe([this](const EditorEvent& event) { observe(event); });
}

void FormattingFeature::observe(const EditorEvent& event) {
    // A closed document never receives a late result: the job is cancelled, and its result,
    // keyed by the closed document's identity, finds no document.
    if (event.kind != EditorEvent::Kind::documentClosed || !m_job || event.document == nullptr ||
        event.document->id() != m_job->document)
        return;
    m_job->handle.cancel();
    if (QDialog* panel = m_job->handle.panel())
        panel->hide();
}

void FormattingFeature::contributeMenus(MenuBuilder& builder) {
    auto add = [this](auto addItem, const QString& title, QList<QKeySequence> shortcuts) {
        addItem(MenuCommand{title, [this, title] { run(title); }, std::move(shortcuts),
                            [this, title] { return isEnabled(title); }});
    };
    auto toFormat = [&builder](MenuCommand command) {
        builder.addItem(MenuID::format, std::move(command));
    };
    add(toFormat, formatDocumentTitle,
        {QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::Key_F)});
    bool validateAdded = false;
    for (const FormattingCommand& command : m_formatters) {
        if (command.title.isEmpty()) {
            if (!validateAdded) {
                add(toFormat, validateTitle,
                    {QKeySequence(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                  Qt::Key_V)});
                validateAdded = true;
            }
            builder.addSeparator(MenuID::format);
            continue;
        }
        add(toFormat, command.title, command.shortcuts);
    }
    builder.addSeparator(MenuID::format);

    QMenu* codecs = builder.addSubmenu(MenuID::format, QStringLiteral("Kodla / Çöz"));
    auto toCodecs = [codecs](MenuCommand command) {
        MenuBuilder::addItem(codecs, std::move(command));
    };
    for (const FormattingCommand& command : m_codecs) {
        if (command.title.isEmpty())
            MenuBuilder::addSeparator(codecs);
        else
            add(toCodecs, command.title, {});
    }

    QMenu* indent = builder.addSubmenu(MenuID::format, QStringLiteral("Girinti"));
    const std::pair<QString, IndentChoice> choices[] = {
        {QStringLiteral("2 Boşluk"), IndentChoice::two},
        {QStringLiteral("4 Boşluk"), IndentChoice::four},
        {QStringLiteral("Sekme"), IndentChoice::tab}};
    for (const auto& [title, choice] : choices) {
        MenuBuilder::addItem(indent, MenuCommand{title,
                                                 [this, choice] { setIndentChoice(choice); },
                                                 {},
                                                 {},
                                                 [this, choice] { return m_indent == choice; }});
    }
}

void FormattingFeature::setIndentChoice(IndentChoice choice) {
    m_indent = choice;
    indentChoice::write(m_settings, choice);
}

const FormattingCommand* FormattingFeature::command(const QString& title) const {
    for (const auto* list : {&m_formatters, &m_codecs})
        for (const FormattingCommand& command : *list)
            if (!command.title.isEmpty() && command.title == title)
                return &command;
    return nullptr;
}

bool FormattingFeature::isEnabled(const QString& title) const {
    if (isBusy() || m_context == nullptr)
        return false;
    if (title == validateTitle)
        return true;
    return editableDocument() != nullptr;
}

bool FormattingFeature::run(const QString& title) {
    if (!isEnabled(title))
        return false;
    if (title == validateTitle) {
        validate();
        return true;
    }
    if (title == formatDocumentTitle) {
        formatDocument();
        return true;
    }
    const FormattingCommand* found = command(title);
    if (found == nullptr)
        return false;
    runTransform(*found);
    return true;
}

EditorDocument* FormattingFeature::editableDocument() const {
    EditorDocument* document = m_context ? m_context->activeDocument() : nullptr;
    return document != nullptr && !document->isReadOnly() ? document : nullptr;
}

std::optional<FormattingFeature::Target> FormattingFeature::target(EditorDocument& document) const {
    if (!document.ensureLoaded() || document.storage() == nullptr)
        return std::nullopt;
    const std::int64_t length = document.length();
    // A column selection formats the text from its top-left to its bottom-right corner.
    const auto column =
        &document == m_context->activeDocument() ? m_context->columnSelection() : std::nullopt;
    TextRange range = column                  ? column->bounds
                      : m_context->textView() ? m_context->textView()->selectedRange()
                                              : document.selection();
    range.location = std::clamp<std::int64_t>(range.location, 0, length);
    range.length = std::clamp<std::int64_t>(range.length, 0, length - range.location);
    Target result;
    result.whole = range.length == 0;
    result.range = result.whole ? TextRange{0, length} : range;
    result.text = document.storage()->substring(result.range);
    return result;
}

void FormattingFeature::formatDocument() {
    EditorDocument* document = editableDocument();
    if (document == nullptr)
        return;
    auto found = target(*document);
    if (!found)
        return;
    const std::u16string_view sample =
        std::u16string_view(found->text).substr(0, static_cast<std::size_t>(kSampleLength));
    const auto& language = document->languageID();
    const auto kind = DocumentFormatter::kind(
        language ? std::optional<std::string_view>(*language) : std::nullopt, sample);
    if (!kind) {
        show(QStringLiteral("Bu belge için biçimlendirici yok (dil seçin)"));
        return;
    }
    FormattingCommand command{formatDocumentTitle, {},
                              [kind = *kind](std::u16string_view text, FormatIndent indent,
                                             ProgressToken* progress) {
                                  return DocumentFormatter::pretty(text, kind, indent, progress);
                              },
                              std::string(DocumentFormatter::languageID(*kind))};
    runTransform(command);
}

void FormattingFeature::runTransform(const FormattingCommand& command) {
    EditorDocument* document = editableDocument();
    if (document == nullptr || isBusy())
        return;
    auto found = target(*document);
    if (!found || document->length() == 0)
        return;
    if (static_cast<std::int64_t>(found->text.size()) >= backgroundThreshold) {
        startBackground(*document, command, std::move(*found));
        return;
    }
    const FormattingCommand::Result result =
        command.transform(found->text, indentChoice::formatIndent(m_indent), nullptr);
    apply(*document, command, *found, result);
}

void FormattingFeature::validate() {
    EditorDocument* document = m_context->activeDocument();
    if (document == nullptr)
        return;
    auto found = target(*document);
    if (!found)
        return;
    const auto summary = JSONFormatter::validate(found->text);
    if (!summary) {
        reportFailure(*document, validateTitle, found->range, summary.error());
        return;
    }
    show(QStringLiteral("Geçerli JSON (derinlik %1%2)")
             .arg(summary->maxDepth)
             .arg(summary->hasComments ? QStringLiteral(", yorum içeriyor") : QString()));
}

void FormattingFeature::apply(EditorDocument& document, const FormattingCommand& command,
                              const Target& target, const FormattingCommand::Result& result) {
    if (!result) {
        reportFailure(document, command.title, target.range, result.error());
        return;
    }
    if (*result == target.text) {
        show(QStringLiteral("Değişiklik yok"));
        return;
    }
    const bool active = m_context->activeDocument() == &document;
    const std::int64_t lengthBefore = document.length();
    if (!m_context->applyEdits(document, {target.range}, {*result}, command.title))
        return;
    if (active) {
        // Line endings of the replacement may have been normalised: select what is there now.
        const std::int64_t inserted = document.length() - lengthBefore + target.range.length;
        m_context->select(target.whole ? TextRange{0, 0}
                                       : TextRange{target.range.location, inserted});
    }
    const auto& language = document.languageID();
    if (target.whole && command.language && (!language || *language == "plain"))
        m_context->setLanguage(command.language, document);
    show(command.title + QStringLiteral(": tamam"));
}

void FormattingFeature::reportFailure(EditorDocument& document, const QString& title,
                                      TextRange target, const FormatError& error) {
    const std::int64_t position =
        std::min(error.offset + target.location, document.length());
    const LineIndex& lines = document.lineIndex();
    const std::int64_t line = lines.lineNumber(position);
    const std::int64_t column = position - lines.lineStart(line) + 1;
    if (m_context->activeDocument() == &document)
        m_context->select({position, 0});
    const QString detail =
        QStringLiteral("Satır %1, sütun %2: %3").arg(line + 1).arg(column).arg(qs(error.message));
    const QString failed = title + QStringLiteral(" başarısız");
    show(failed + QStringLiteral(" — ") + detail);
    m_context->prompter().alert(failed, detail);
}

void FormattingFeature::show(const QString& text) {
    m_lastStatus = text;
    if (m_context)
        m_context->showMessage(text, kMessageSeconds);
}

EditorDocument* FormattingFeature::documentWithID(const QUuid& id) const {
    for (EditorDocument* document : m_context->documents())
        if (document->id() == id)
            return document;
    return nullptr;
}

} // namespace vendrix::app
