#pragma once

#include "app/context/StatusBarField.h"
#include "core/text/LineEnding.h"

#include <QHash>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QHBoxLayout;
class QLabel;

namespace vendrix::app {

/// The bar at the bottom of the window: a transient message on the left (truncated at its
/// tail, it yields space to the fields), then the fields. The built-in ones, in order, are
/// "position", "selection", "lineEnding", "encoding" and "language"; fields added by
/// features go just before "lineEnding".
class StatusBarView final : public QWidget {
    Q_OBJECT

public:
    static constexpr int barHeight = 22;
    static constexpr int spacing = 16;
    static constexpr int inset = 10;
    /// How far below a field a pop-up menu opens.
    static constexpr int popupGap = 4;

    explicit StatusBarView(QWidget* parent = nullptr);
    ~StatusBarView() override;

    /// Shows `text` for `seconds` (forever when not positive); a new message replaces the
    /// old one and restarts the timer.
    void showMessage(const QString& text, double seconds);
    QString message() const;
    QLabel* messageLabel() const { return m_message; }
    const QTimer& flashTimer() const { return m_flashTimer; }

    /// A feature's field: a small label of at least `minWidth`, placed before "lineEnding".
    /// The feature sets the label's text, tooltip and visibility and connects `clicked`.
    std::shared_ptr<StatusBarField> addField(const QString& id, int minWidth);
    /// The field with `id` (built-in or feature), or null.
    std::shared_ptr<StatusBarField> field(const QString& id) const;
    const std::vector<std::shared_ptr<StatusBarField>>& featureFields() const {
        return m_featureFields;
    }
    /// Field ids from left to right as they stand in the row.
    QStringList fieldOrder() const;

    /// Built-in field texts. Line and column are zero-based; shown one-based
    /// ("Sat 3, Süt 1").
    void setPosition(std::int64_t line, std::int64_t column);
    /// "Seçim: N", N in UTF-16 units.
    void setSelectionLength(std::int64_t length);
    /// "LF", "CRLF" or "CR".
    void setLineEnding(LineEnding ending);
    /// The encoding's display name, or "Salt okunur" for a read-only document.
    void setEncodingText(const QString& text);
    /// The language's display name ("Düz metin" for none).
    void setLanguageText(const QString& text);

    /// Where a pop-up menu for `field` opens: its bottom-left corner plus popupGap, global.
    QPoint popupPosition(const StatusBarField& field) const;

signals:
    /// The user clicked the encoding or the line-ending field.
    void encodingClicked();
    void lineEndingClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* makeLabel(int minWidth);
    void setText(const QString& id, const QString& text);

    QLabel* m_message = nullptr;
    QHBoxLayout* m_row = nullptr;
    std::vector<std::shared_ptr<StatusBarField>> m_builtinFields;
    std::vector<std::shared_ptr<StatusBarField>> m_featureFields;
    /// Routes clicks on a label to its field.
    QHash<QLabel*, std::shared_ptr<StatusBarField>> m_fieldsByLabel;
    QTimer m_flashTimer;
};

} // namespace vendrix::app
