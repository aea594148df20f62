// The README's picture of the main window: a table open in the window, as a user sees it on a real
// display, grabbed from the screen once the window has been drawn. tools/screenshot runs it under Xvfb.
#include "app/guardedapplication.h"
#include "app/mainwindow.h"
#include "app/settingsstore.h"
#include "app/userdialogs.h"
#include "link/portnames.h"
#include "link/serialportdriver.h"

#include <QColor>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

namespace {
constexpr QSize kWindowSize(1340, 600);
// Long enough for the window to be mapped and drawn by the X server.
constexpr int kSettleMs = 1500;
} // namespace

int main(int argc, char** argv)
{
    darni::app::GuardedApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        QTextStream(stderr) << "Использование: darni-screenshot TABLE.db OUT.png" << Qt::endl;
        return 2;
    }
    // DARNI_SCREENSHOT_PALETTE=dark: the window as a user with a dark desktop sees it.
    if (qEnvironmentVariable("DARNI_SCREENSHOT_PALETTE") == QStringLiteral("dark")) {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Base, QColor(0x23, 0x23, 0x23));
        dark.setColor(QPalette::AlternateBase, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(QPalette::ButtonText, Qt::white);
        dark.setColor(QPalette::Highlight, QColor(0x2a, 0x82, 0xda));
        QApplication::setPalette(dark);
    }
    QTemporaryDir settingsDir;
    darni::app::QtUserDialogs dialogs;
    darni::app::SettingsStore settings(settingsDir.filePath(QStringLiteral("settings.ini")));
    darni::link::SerialPortDriver port(darni::link::PortNameMap::explicitDevices(
        settingsDir.filePath(QStringLiteral("no-com1")), settingsDir.filePath(QStringLiteral("no-com2"))));
    darni::app::MainWindow window(dialogs, settings, port);
    window.setWindowState(Qt::WindowNoState);
    window.resize(kWindowSize);
    window.show();
    if (!window.openTablePath(arguments.at(1)))
        return 1;
    int status = 1;
    QTimer::singleShot(kSettleMs, [&] {
        const QPixmap shot = window.screen()->grabWindow(window.winId());
        status = !shot.isNull() && shot.save(arguments.at(2)) ? 0 : 1;
        QCoreApplication::quit();
    });
    QApplication::exec();
    return status;
}
