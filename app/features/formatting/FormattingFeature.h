#pragma once

#include "app/context/EditorFeature.h"
#include "app/context/EditorObservation.h"
#include "app/context/JobRunner.h"
#include "core/formatting/IndentChoice.h"
#include "app/features/formatting/FormattingCommand.h"
#include "core/common/TextRange.h"

#include <QObject>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <optional>

namespace vendrix {
class SettingsBacking;
} // namespace vendrix

namespace vendrix::app {

class EditorDocument;

/// The Format menu: the formatters and codecs applied to the active document's selection, or
/// to the whole document when nothing is selected, each as one undoable edit named after the
/// command; and the indentation choice every pretty-printer uses.
///
/// Texts of `backgroundThreshold` units or more are transformed as a job of the window's runner,
/// behind a progress panel that can cancel; the result is applied only to the same document (by identity) at
/// the same content revision. Main thread only, apart from the transform itself.
class FormattingFeature final : public QObject, public EditorFeature {
    Q_OBJECT

public:
    static constexpr std::string_view id = "formatting";
    static constexpr std::int64_t backgroundThreshold = 524288;
    static inline const QString formatDocumentTitle = QStringLiteral("Belgeyi Biçimlendir");
    static inline const QString validateTitle = QStringLiteral("JSON Doğrula");

    /// `settings` holds "formatting.indent"; none: the context's backing once attached (and
    /// without one, the choice lives only in memory).
    explicit FormattingFeature(SettingsBacking* settings = nullptr, QObject* parent = nullptr);
    ~FormattingFeature() override;

    void attach(EditorContext& context) override;
    void contributeMenus(MenuBuilder& builder) override;

    bool isBusy() const { return m_job.has_value(); }
    const QString& lastStatus() const { return m_lastStatus; }
    IndentChoice indentChoice() const { return m_indent; }
    /// Stores the choice at once.
    void setIndentChoice(IndentChoice choice);

    /// Runs the command titled `title` (a formatter, a codec, "Belgeyi Biçimlendir" or
    /// "JSON Doğrula") as the menu would; false when there is no such command or it is
    /// disabled now.
    bool run(const QString& title);
    /// Whether the command titled `title` is enabled now.
    bool isEnabled(const QString& title) const;
    /// The progress panel of the running background job, if any.
    QDialog* panel() const { return m_job ? m_job->handle.panel() : nullptr; }

private:
    struct Target {
        TextRange range;
        bool whole = false;
        std::u16string text;
    };
    struct Job {
        QUuid document;
        std::int64_t revision = 0;
        FormattingCommand command;
        Target target;
        JobHandle handle;
        std::uint64_t serial = 0;
    };

    EditorDocument* editableDocument() const;
    std::optional<Target> target(EditorDocument& document) const;
    void runTransform(const FormattingCommand& command);
    void formatDocument();
    void validate();
    void startBackground(EditorDocument& document, const FormattingCommand& command, Target target);
    void finishBackground(std::uint64_t serial, FormattingCommand::Result result);
    void apply(EditorDocument& document, const FormattingCommand& command, const Target& target,
               const FormattingCommand::Result& result);
    void reportFailure(EditorDocument& document, const QString& title, TextRange target,
                       const FormatError& error);
    EditorDocument* documentWithID(const QUuid& id) const;
    void show(const QString& text);
    void observe(const EditorEvent& event);
    const FormattingCommand* command(const QString& title) const;

    EditorContext* m_context = nullptr;
    SettingsBacking* m_settings = nullptr;
    IndentChoice m_indent = IndentChoice::two;
    QString m_lastStatus;
    std::vector<FormattingCommand> m_formatters;
    std::vector<FormattingCommand> m_codecs;
    EditorObservation m_observation;
    std::optional<Job> m_job;
    std::uint64_t m_serial = 0;
};

} // namespace vendrix::app
