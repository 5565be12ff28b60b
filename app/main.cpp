#include "app/window/EditorWindow.h"
#include "app/view/EditorTextView.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vendrix"));
    vendrix::app::EditorWindow window;
    const QStringList files = QApplication::arguments().mid(1);
    int opened = 0;
    for (const QString& file : files)
        opened += window.openFile(file) ? 1 : 0;
    if (opened == 0)
        window.newDocument();
    window.show();
    window.textView()->setFocus();
    return QApplication::exec();
}
