#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <memory>

#include "app/crop/crop_dialog_runner.h"
#include "app/help/help_window.h"
#include "app/main_window.h"
#include "source/player_host.h"
#include "app/widgets/app_icon.h"
#include "settings/settings_store.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setOrganizationName("Velmora");
    QApplication::setApplicationName("Swivio");
    QApplication::setApplicationVersion(SWIVIO_VERSION);
    QApplication::setWindowIcon(swivio::app::appIcon());
    QApplication::setDesktopFileName("swivio");

    swivio::app::HelpKeyFilter help;
    application.installEventFilter(&help);

    swivio::app::MainWindow window(std::make_unique<swivio::QtSettingsStore>());
    swivio::app::cropDialogRunner() =
        swivio::app::cropDialogOver([&window]() -> swivio::MovieSource* { return window.player(); });
    window.show();
    // A file named on the command line (as the file manager passes it) opens once the
    // window is up, so that a failure shows over it.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        const QString path = QFileInfo(arguments.at(1)).absoluteFilePath();
        QTimer::singleShot(0, &window, [&window, path] { window.openMovie(path); });
    }
    return application.exec();
}
