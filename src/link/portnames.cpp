// The program's two port names and the serial devices they stand for.
#include "portnames.h"

#include <QtGlobal>

namespace darni::link {

namespace {
const char* const kCom1Environment = "DARNI_COM1";
const char* const kCom2Environment = "DARNI_COM2";

QString firstNonEmpty(std::initializer_list<QString> candidates)
{
    for (const auto& c : candidates) {
        if (!c.isEmpty())
            return c;
    }
    return {};
}
} // namespace

QString com1PortName()
{
    return QStringLiteral(R"(\\.\COM1)");
}

QString com2PortName()
{
    return QStringLiteral(R"(\\.\COM2)");
}

QString shownPortName(const QString& portName)
{
    if (portName == com1PortName())
        return QStringLiteral("COM1");
    if (portName == com2PortName())
        return QStringLiteral("COM2");
    return portName;
}

QString environmentVariableFor(const QString& portName)
{
    if (portName == com1PortName())
        return QString::fromLatin1(kCom1Environment);
    if (portName == com2PortName())
        return QString::fromLatin1(kCom2Environment);
    return {};
}

QString environmentDevice(const QString& portName)
{
    const QString variable = environmentVariableFor(portName);
    return variable.isEmpty() ? QString() : qEnvironmentVariable(variable.toLatin1().constData());
}

QString defaultDevice(const QString& portName)
{
#ifdef Q_OS_WIN
    return portName;
#else
    if (portName == com1PortName())
        return QStringLiteral("/dev/ttyS0");
    if (portName == com2PortName())
        return QStringLiteral("/dev/ttyS1");
    return portName;
#endif
}

PortNameMap PortNameMap::forThisPlatform(const QString& com1Setting, const QString& com2Setting)
{
    return explicitDevices(
        firstNonEmpty({environmentDevice(com1PortName()), com1Setting, defaultDevice(com1PortName())}),
        firstNonEmpty({environmentDevice(com2PortName()), com2Setting, defaultDevice(com2PortName())}));
}

PortNameMap PortNameMap::explicitDevices(const QString& com1Device, const QString& com2Device)
{
    PortNameMap map;
    map.m_com1Device = com1Device;
    map.m_com2Device = com2Device;
    return map;
}

QString PortNameMap::deviceFor(const QString& portName) const
{
    if (portName == com1PortName())
        return m_com1Device;
    if (portName == com2PortName())
        return m_com2Device;
    return portName;
}

} // namespace darni::link
