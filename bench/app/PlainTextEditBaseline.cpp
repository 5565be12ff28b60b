// The baseline editor of scripts/bench-latency.sh: a bare QPlainTextEdit in a main window, the
// file named on the command line (if any) read whole as UTF-8, the caret at its start.

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QMainWindow>
#include <QPlainTextEdit>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    auto* edit = new QPlainTextEdit(&window);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    if (argc > 1) {
        QFile file(QString::fromLocal8Bit(argv[1]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", argv[1]);
            return 1;
        }
        edit->setPlainText(QString::fromUtf8(file.readAll()));
    }
    window.setCentralWidget(edit);
    window.resize(900, 700);
    window.show();
    edit->setFocus();
    return QApplication::exec();
}
