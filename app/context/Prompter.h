#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace vendrix::app {

/// One alert or question: the message, the detail, the buttons from left to right as the
/// user reads them (the first is the default), and an optional check box ("Bir daha sorma").
struct PromptRequest {
    enum class Style { informational, warning, critical };
    Style style = Style::warning;
    QString message;
    QString detail;
    /// Button titles; an alert with none gets "Tamam".
    QStringList buttons;
    /// The button Escape chooses (an index into buttons), if any.
    std::optional<int> cancelButton;
    std::optional<QString> checkBox;
    /// The button that throws work away ("Kaydetme"), placed by the desktop's button layout
    /// apart from the others.
    std::optional<int> destructiveButton;
};

struct PromptAnswer {
    /// The index of the chosen button.
    int button = 0;
    bool checkBoxChecked = false;
};

/// Shows alerts and asks questions. The window uses a window-modal message box; tests
/// answer from a script.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual PromptAnswer ask(const PromptRequest& request) = 0;
    /// A plain alert with the single button "Tamam".
    void alert(const QString& message, const QString& detail = {},
               PromptRequest::Style style = PromptRequest::Style::warning) {
        ask({style, message, detail, {QStringLiteral("Tamam")}, 0, std::nullopt, std::nullopt});
    }
};

/// Asks with a QMessageBox over `parent` (window-modal). Message and detail are plain text:
/// a file named "<b>x</b>.txt" shows its name.
class MessageBoxPrompter final : public Prompter {
public:
    explicit MessageBoxPrompter(QWidget* parent) : m_parent(parent) {}
    PromptAnswer ask(const PromptRequest& request) override;

private:
    QWidget* m_parent;
};

/// Answers from a queue and records every request; for tests. With the queue empty it
/// answers the default button (0) unchecked.
class ScriptedPrompter final : public Prompter {
public:
    PromptAnswer ask(const PromptRequest& request) override {
        requests.push_back(request);
        if (answers.empty())
            return {};
        PromptAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<PromptAnswer> answers;
    std::vector<PromptRequest> requests;
};

} // namespace vendrix::app
