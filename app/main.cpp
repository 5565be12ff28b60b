#include "app/context/MenuBuilder.h"
#include "app/window/EditorWindowController.h"
#include "core/persistence/FileSettingsBacking.h"

#include <QApplication>
#include <QStandardPaths>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vendrix"));
    vendrix::FileSettingsBacking settings(
        (QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/Vendrix/settings.plist")).toStdString());
    vendrix::app::EditorWindowController controller({nullptr, &settings});
    vendrix::app::MenuBuilder menus;
    controller.attachMenus(menus);
    menus.complete();
    controller.openFiles(QApplication::arguments().mid(1));
    controller.ensureDocument();
    QObject::connect(&controller, &vendrix::app::EditorWindowController::quitRequested,
                     &application, &QApplication::quit);
    QObject::connect(&application, &QApplication::aboutToQuit, &controller, [&controller] {
        controller.captureActiveViewState();
        controller.saveWindowGeometry();
    });
    controller.show();
    return QApplication::exec();
}
