// The program's settings for the current user.
#include "usersettings.h"

namespace darni::files {

namespace {
const QString kOrganization = QStringLiteral("Velmark");
const QString kApplication = QStringLiteral("DARNI");
const QString kGroup = QStringLiteral("1.0");

std::unique_ptr<QSettings> inGroup(std::unique_ptr<QSettings> settings)
{
    settings->beginGroup(kGroup);
    return settings;
}
} // namespace

std::unique_ptr<QSettings> openUserSettings()
{
    return inGroup(std::make_unique<QSettings>(kOrganization, kApplication));
}

std::unique_ptr<QSettings> openSettingsFile(const QString& iniFile)
{
    return inGroup(std::make_unique<QSettings>(iniFile, QSettings::IniFormat));
}

} // namespace darni::files
