// The program's settings for the current user.
#include "settingsstore.h"

namespace darni::app {

namespace {
const QString kOrganization = QStringLiteral("Velmark");
const QString kApplication = QStringLiteral("DARNI");
const QString kGroup = QStringLiteral("1.0");
const QString kDefaultDir = QStringLiteral("Default_dir");
const QString kPortCom1 = QStringLiteral("Port_COM1");
const QString kPortCom2 = QStringLiteral("Port_COM2");
const QString kRecentTables = QStringLiteral("Recent_tables");
} // namespace

SettingsStore::SettingsStore() : m_settings(std::make_unique<QSettings>(kOrganization, kApplication))
{
    m_settings->beginGroup(kGroup);
}

SettingsStore::SettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{
    m_settings->beginGroup(kGroup);
}

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
    return m_settings->value(kPortCom1).toString();
}

QString SettingsStore::com2Device() const
{
    return m_settings->value(kPortCom2).toString();
}

void SettingsStore::setComDevices(const QString& com1, const QString& com2)
{
    for (const auto& [key, device] : {std::pair{kPortCom1, com1}, std::pair{kPortCom2, com2}}) {
        if (device.isEmpty())
            m_settings->remove(key);
        else
            m_settings->setValue(key, device);
    }
    m_settings->sync();
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
