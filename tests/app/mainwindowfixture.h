// A main window offscreen over a temporary folder, scripted dialogs, its own settings file and a
// serial port that leads nowhere unless a test gives another.
#pragma once

#include "app/mainwindow.h"
#include "link/serialportdriver.h"
#include "support/scripteddialogs.h"

#include <QAction>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

namespace darni::testing {

inline constexpr int kAnswerTimeoutMs = 300;

inline const QStringList kTableCommands = {QStringLiteral("N4"),  QStringLiteral("N5"),  QStringLiteral("N7"),
                                           QStringLiteral("N8"),  QStringLiteral("N9"),  QStringLiteral("N27"),
                                           QStringLiteral("N29"), QStringLiteral("N30"), QStringLiteral("N31"),
                                           QStringLiteral("N33"), QStringLiteral("N34"), QStringLiteral("Excel1"),
                                           QStringLiteral("N37")};
inline const QStringList kAlwaysCommands = {QStringLiteral("N2"), QStringLiteral("N3"), QStringLiteral("N11"),
                                            QStringLiteral("N24"), QStringLiteral("N26")};

class MainWindowTest : public ::testing::Test
{
protected:
    MainWindowTest()
        : settings(dir.filePath(QStringLiteral("settings.ini"))),
          port(link::PortNameMap::explicitDevices(dir.filePath(QStringLiteral("no-com1")),
                                                  dir.filePath(QStringLiteral("no-com2"))))
    {
    }

    std::unique_ptr<app::MainWindow> makeWindow(link::SerialPort& through)
    {
        auto w = std::make_unique<app::MainWindow>(dialogs, settings, through);
        w->setAnswerTimeout(kAnswerTimeoutMs);
        return w;
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    void expectState(app::MainWindow& w, bool open)
    {
        for (const QString& name : kTableCommands)
            EXPECT_EQ(w.command(name)->isEnabled(), open) << name.toStdString();
        for (const QString& name : kAlwaysCommands)
            EXPECT_TRUE(w.command(name)->isEnabled()) << name.toStdString();
        for (const char* button : {"ToolButton1", "ToolButton2", "ToolButton6"})
            EXPECT_TRUE(w.findChild<QToolButton*>(QString::fromLatin1(button))->isEnabled()) << button;
        for (const char* button : {"ToolButton3", "ToolButton4", "ToolButton5"})
            EXPECT_EQ(w.findChild<QToolButton*>(QString::fromLatin1(button))->isEnabled(), open) << button;
        EXPECT_EQ(w.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->isVisible(), open);
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    app::SettingsStore settings;
    link::SerialPortDriver port;
};

} // namespace darni::testing
