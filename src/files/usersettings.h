// The program's settings for the current user (key "\Software\Velmark\DARNI\1.0": the registry on
// Windows, a file under ~/.config elsewhere), opened in the group where every value lives. The window
// and darni-cli read the same store, so that a choice made in one holds in the other.
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace darni::files {

std::unique_ptr<QSettings> openUserSettings();
// The same values kept in a file of its own, for tests.
std::unique_ptr<QSettings> openSettingsFile(const QString& iniFile);

} // namespace darni::files
