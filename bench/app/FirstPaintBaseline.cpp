// The baseline of the start-up benchmark: a bare main window with one widget, started like the
// editor, exiting with status 0 right after its first paint event.

#include "app/platform/FirstPaintExit.h"

#include <QApplication>
#include <QMainWindow>
#include <QPlainTextEdit>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QPlainTextEdit(&window));
    window.resize(900, 700);
    vendrix::app::FirstPaintExit exitAfterPaint(&window);
    application.installEventFilter(&exitAfterPaint);
    window.show();
    return QApplication::exec();
}
