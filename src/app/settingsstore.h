// The program's settings for the current user (files::openUserSettings). Every value the window keeps
// is named here; the port choice is the link layer's, as darni-cli reads it too.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>

namespace darni::app {

class SettingsStore
{
public:
    // The user's store; tests give a file of their own.
    SettingsStore();
    explicit SettingsStore(const QString& iniFile);

    bool hasDefaultDirectory() const;
    QString defaultDirectory() const;
    void setDefaultDirectory(const QString& directory);

    // Stored grid layouts, read and written as whole texts ("Table_1", "Table_2").
    QString gridLayout(const QString& valueName) const;
    void setGridLayout(const QString& valueName, const QString& layout);

    // The devices for "\\.\COM1" and "\\.\COM2" where the platform has no such names.
    QString com1Device() const;
    QString com2Device() const;
    // Empty removes the choice: the platform's own device is used again.
    void setComDevices(const QString& com1, const QString& com2);

    // The tables last opened or created, the newest first ("Recent_tables").
    QStringList recentTables() const;
    void setRecentTables(const QStringList& paths);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace darni::app
