// The program's settings for the current user.
#include "settingsstore.h"

#include "files/usersettings.h"
#include "link/portchoice.h"

namespace darni::app {

namespace {
const QString kDefaultDir = QStringLiteral("Default_dir");
const QString kRecentTables = QStringLiteral("Recent_tables");
} // namespace

SettingsStore::SettingsStore() : m_settings(files::openUserSettings()) {}

SettingsStore::SettingsStore(const QString& iniFile) : m_settings(files::openSettingsFile(iniFile)) {}

bool SettingsStore::hasDefaultDirectory() const
{
    return m_settings->contains(kDefaultDir);
}

QString SettingsStore::defaultDirectory() const
{
    return m_settings->value(kDefaultDir).toString();
}

void SettingsStore::setDefaultDirectory(const QString& directory)
{
    m_settings->setValue(kDefaultDir, directory);
    m_settings->sync();
}

QString SettingsStore::gridLayout(const QString& valueName) const
{
    return m_settings->value(valueName).toString();
}

void SettingsStore::setGridLayout(const QString& valueName, const QString& layout)
{
    m_settings->setValue(valueName, layout);
    m_settings->sync();
}

QString SettingsStore::com1Device() const
{
    return link::readPortChoice(*m_settings).com1;
}

QString SettingsStore::com2Device() const
{
    return link::readPortChoice(*m_settings).com2;
}

void SettingsStore::setComDevices(const QString& com1, const QString& com2)
{
    link::writePortChoice(*m_settings, {com1, com2});
}

QStringList SettingsStore::recentTables() const
{
    return m_settings->value(kRecentTables).toStringList();
}

void SettingsStore::setRecentTables(const QStringList& paths)
{
    m_settings->setValue(kRecentTables, paths);
    m_settings->sync();
}

} // namespace darni::app
