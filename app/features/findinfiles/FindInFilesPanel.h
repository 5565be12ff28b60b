#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace vendrix::app {

class FileResultsModel;

/// The "Dosyalarda Bul" panel below the text: the query and its options, the replacement, the
/// folder (with a chooser), the globs to include and exclude, the buttons, the status and the
/// results tree. Return in a field searches; Return or a double click on a result opens it;
/// Escape closes the panel. Every control is named for screen readers and reached with Tab.
class FindInFilesPanel final : public QWidget {
    Q_OBJECT

public:
    explicit FindInFilesPanel(FileResultsModel& model, QWidget* parent = nullptr);

    QLineEdit* queryField = nullptr;
    QCheckBox* caseBox = nullptr;
    QCheckBox* wordBox = nullptr;
    QCheckBox* regexBox = nullptr;
    QPushButton* searchButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLineEdit* replaceField = nullptr;
    QPushButton* replaceButton = nullptr;
    QLineEdit* folderField = nullptr;
    QPushButton* folderButton = nullptr;
    QLineEdit* includeField = nullptr;
    QLineEdit* excludeField = nullptr;
    QLabel* statusLabel = nullptr;
    QTreeView* results = nullptr;
    QPushButton* closeButton = nullptr;

    /// Switches the buttons between a running search (only "Vazgeç") and an idle one.
    void setRunning(bool running);
    void setStatus(const QString& text);

signals:
    void searchRequested();
    void cancelRequested();
    void replaceRequested();
    void chooseFolderRequested();
    void closeRequested();
    /// A result row was chosen (Return or double click).
    void resultActivated(const QModelIndex& index);
};

} // namespace vendrix::app
