// The program: the splash screen, then the main window until it is closed.
#include "guardedapplication.h"
#include "mainwindow.h"
#include "qttranslations.h"
#include "settingsstore.h"
#include "splashscreen.h"
#include "userdialogs.h"

#include "link/portnames.h"
#include "link/serialportdriver.h"

#include <QTranslator>

int main(int argc, char** argv)
{
    darni::app::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DARNI"));
    QApplication::setApplicationVersion(QStringLiteral(DARNI_VERSION));
    QTranslator qtTexts;
    if (darni::app::wantsRussianQtTexts(QLocale::system()) && darni::app::loadRussianQtTexts(qtTexts))
        QApplication::installTranslator(&qtTexts);

    darni::app::QtUserDialogs dialogs;
    darni::app::SettingsStore settings;
    darni::link::SerialPortDriver port(
        darni::link::PortNameMap::forThisPlatform(settings.com1Device(), settings.com2Device()));
    darni::app::MainWindow window(dialogs, settings, port);
    QObject::connect(&window, &darni::app::MainWindow::portChoiceChanged, [&port, &settings] {
        port.setPortNames(darni::link::PortNameMap::forThisPlatform(settings.com1Device(), settings.com2Device()));
    });
    app.setFailureReporter([&window](const QString& text) { window.showFailure(text); });

    darni::app::SplashScreen splash;
    splash.exec();

    window.showMaximized();
    return QApplication::exec();
}
