#pragma once

#include <QMainWindow>

class QLabel;

#include <memory>
#include <vector>

namespace vendrix::app {

class EditorTextView;
class LineNumberRulerView;
class EditorDocument;

/// The first editor window: one text view with its line-number ruler, showing one of the
/// documents opened from the command line (Ctrl+PageUp/PageDown switch between them).
class EditorWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit EditorWindow(QWidget* parent = nullptr);
    ~EditorWindow() override;

    /// Reads and decodes a file into a new document; on failure shows why and returns false.
    bool openFile(const QString& path);
    /// Adds an empty untitled document.
    void newDocument();
    /// Shows the document at `index` (clamped).
    void showDocument(int index);
    int documentCount() const { return static_cast<int>(m_documents.size()); }
    int activeIndex() const { return m_active; }
    EditorTextView* textView() const { return m_textView; }
    LineNumberRulerView* ruler() const { return m_ruler; }

private:
    void updateTitle();
    void updateStatus();
    EditorDocument* activeDocument() const;

    std::vector<std::unique_ptr<EditorDocument>> m_documents;
    QLabel* m_position = nullptr;
    int m_active = -1;
    EditorTextView* m_textView = nullptr;
    LineNumberRulerView* m_ruler = nullptr;
};

} // namespace vendrix::app
