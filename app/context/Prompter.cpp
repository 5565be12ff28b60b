#include "app/context/Prompter.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace vendrix::app {

PromptAnswer MessageBoxPrompter::ask(const PromptRequest& request) {
    QMessageBox box(m_parent);
    switch (request.style) {
    case PromptRequest::Style::informational:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptRequest::Style::warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptRequest::Style::critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setWindowTitle(QStringLiteral("Vendrix"));
    box.setTextFormat(Qt::PlainText);
    box.setText(request.message);
    box.setInformativeText(request.detail);
    // The detail's label does not follow the box's text format: it is told itself.
    if (auto* detail = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        detail->setTextFormat(Qt::PlainText);
    if (m_parent)
        box.setWindowModality(Qt::WindowModal);
    QStringList titles = request.buttons;
    if (titles.isEmpty())
        titles << QStringLiteral("Tamam");
    std::vector<QPushButton*> buttons;
    for (int i = 0; i < titles.size(); ++i) {
        const auto role = request.cancelButton == i        ? QMessageBox::RejectRole
                          : request.destructiveButton == i ? QMessageBox::DestructiveRole
                                                           : QMessageBox::AcceptRole;
        buttons.push_back(box.addButton(titles[i], role));
    }
    box.setDefaultButton(buttons.front());
    if (request.cancelButton && *request.cancelButton < static_cast<int>(buttons.size()))
        box.setEscapeButton(buttons[static_cast<std::size_t>(*request.cancelButton)]);
    QCheckBox* check = nullptr;
    if (request.checkBox) {
        check = new QCheckBox(*request.checkBox, &box);
        box.setCheckBox(check);
    }
    box.exec();
    PromptAnswer answer;
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            answer.button = static_cast<int>(i);
    if (!box.clickedButton() && request.cancelButton)
        answer.button = *request.cancelButton;
    answer.checkBoxChecked = check && check->isChecked();
    return answer;
}

} // namespace vendrix::app
