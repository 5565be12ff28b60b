// The baseline of the start-up benchmark: a bare main window with one widget, started like the
// editor, exiting with status 0 right after its first paint event.

#include <QApplication>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

class FirstPaintExit final : public QObject {
public:
    explicit FirstPaintExit(QWidget* window) : m_window(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && !m_armed && widget && widget->window() == m_window) {
            m_armed = true;
            QTimer::singleShot(0, [] {
                std::fflush(nullptr);
                ::_exit(0);
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    bool m_armed = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QPlainTextEdit(&window));
    window.resize(900, 700);
    FirstPaintExit exitAfterPaint(&window);
    application.installEventFilter(&exitAfterPaint);
    window.show();
    return QApplication::exec();
}
