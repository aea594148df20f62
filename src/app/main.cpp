// The program: the splash screen, then the main window until it is closed.
#include "applicationicon.h"
#include "guardedapplication.h"
#include "mainwindow.h"
#include "qttranslations.h"
#include "settingsstore.h"
#include "splashscreen.h"
#include "userdialogs.h"

#include "files/heaptuning.h"
#include "link/portnames.h"
#include "link/serialportdriver.h"

#include <QCommandLineParser>
#include <QTranslator>

int main(int argc, char** argv)
{
    darni::files::keepLargeBuffersForReuse();
    darni::app::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DARNI"));
    QApplication::setApplicationVersion(QStringLiteral(DARNI_VERSION));
    QApplication::setWindowIcon(darni::app::applicationIcon());
    // The desktop entry that launched us, so that the desktop matches our windows to its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("ru.velmark.darni"));
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

    // "darni TABLE.db", as a file manager starts it for a table: the table opens as "Открыть" opens it.
    QCommandLineParser arguments;
    arguments.setApplicationDescription(QStringLiteral("Таблицы измерений прибора ОРНАК-ТР5."));
    arguments.addHelpOption();
    arguments.addVersionOption();
    arguments.addPositionalArgument(QStringLiteral("ТАБЛИЦА.db"), QStringLiteral("Таблица, которую открыть."));
    arguments.process(app);

    darni::app::SplashScreen splash;
    splash.exec();

    window.showMaximized();
    if (!arguments.positionalArguments().isEmpty())
        window.openTablePath(arguments.positionalArguments().constFirst());
    return QApplication::exec();
}
