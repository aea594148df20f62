// Why a serial port could not be used.
#include "portfailure.h"

#include "portnames.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace darni::link {

namespace {
// Debian, Ubuntu and Fedora give serial devices to this group; others name theirs on the device.
const QString kUsualSerialGroup = QStringLiteral("dialout");

bool userMayOpen(const QString& device)
{
#ifdef Q_OS_UNIX
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0;
#else
    Q_UNUSED(device);
    // Windows has no per-user rights on COM ports: a refusal there means another program has it.
    return true;
#endif
}

QString portAndDevice(const QString& portName, const QString& device)
{
    const QString shown = shownPortName(portName);
    return shown == device ? shown : shown + QStringLiteral(" (") + device + QLatin1Char(')');
}
} // namespace

PortFailure classifyOpenFailure(const QString& device, bool missing, bool deniedByTheSystem)
{
    if (missing)
        return PortFailure::NoSuchDevice;
    if (!deniedByTheSystem)
        return PortFailure::Other;
    return userMayOpen(device) ? PortFailure::Busy : PortFailure::NoPermission;
}

QString deviceGroup(const QString& device)
{
    const QString group = QFileInfo(device).group();
    return group.isEmpty() ? QString() : group;
}

QString portFailureText(PortFailure failure, const QString& portName, const QString& device, const QString& systemText)
{
    const QString port = portAndDevice(portName, device);
    switch (failure) {
    case PortFailure::None:
        return {};
    case PortFailure::NoSuchDevice:
        return QStringLiteral("Порт %1: такого устройства нет. Проверьте, что переходник прибора подключён, "
                              "или выберите его порт в меню \"Сервис → Порт прибора…\".")
            .arg(port);
    case PortFailure::NoPermission: {
#ifdef Q_OS_LINUX
        const QString found = deviceGroup(device);
        const QString group = found.isEmpty() || found == QStringLiteral("root") ? kUsualSerialGroup : found;
        return QStringLiteral("Порт %1: нет прав на его открытие — пользователь не входит в группу \"%2\". "
                              "Выполните команду \"sudo usermod -aG %2 $USER\" и войдите в систему заново.")
            .arg(port, group);
#else
        return QStringLiteral("Порт %1: нет прав на его открытие.").arg(port);
#endif
    }
    case PortFailure::Busy:
        return QStringLiteral("Порт %1 занят другой программой. Закройте её и повторите.").arg(port);
    case PortFailure::DeviceGone:
        return QStringLiteral("Порт %1: устройство отключилось во время передачи. Проверьте кабель и "
                              "переходник и повторите.")
            .arg(port);
    case PortFailure::Other:
        return QStringLiteral("Порт %1 не открывается: %2.").arg(port, systemText);
    }
    return {};
}

} // namespace darni::link
