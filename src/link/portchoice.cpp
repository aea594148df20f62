// The devices chosen for the program's two port names.
#include "portchoice.h"

#include <utility>

namespace darni::link {

namespace {
const QString kPortCom1 = QStringLiteral("Port_COM1");
const QString kPortCom2 = QStringLiteral("Port_COM2");
} // namespace

PortChoice readPortChoice(const QSettings& settings)
{
    return {settings.value(kPortCom1).toString(), settings.value(kPortCom2).toString()};
}

void writePortChoice(QSettings& settings, const PortChoice& choice)
{
    for (const auto& [key, device] : {std::pair{kPortCom1, choice.com1}, std::pair{kPortCom2, choice.com2}}) {
        if (device.isEmpty())
            settings.remove(key);
        else
            settings.setValue(key, device);
    }
    settings.sync();
}

PortNameMap chosenPortNames(const QSettings& settings)
{
    const PortChoice choice = readPortChoice(settings);
    return PortNameMap::forThisPlatform(choice.com1, choice.com2);
}

} // namespace darni::link
