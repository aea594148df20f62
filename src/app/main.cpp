// The program: the splash screen, then the main window until it is closed.
#include "mainwindow.h"
#include "settingsstore.h"
#include "splashscreen.h"
#include "userdialogs.h"

#include "link/portnames.h"
#include "link/serialportdriver.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DARNI"));
    QApplication::setApplicationVersion(QStringLiteral(DARNI_VERSION));

    darni::app::QtUserDialogs dialogs;
    darni::app::SettingsStore settings;
    darni::link::SerialPortDriver port(
        darni::link::PortNameMap::forThisPlatform(settings.com1Device(), settings.com2Device()));
    darni::app::MainWindow window(dialogs, settings, port);

    darni::app::SplashScreen splash;
    splash.exec();

    window.showMaximized();
    return QApplication::exec();
}
