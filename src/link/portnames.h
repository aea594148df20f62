// The program's two port names and the serial devices they stand for on this platform.
#pragma once

#include <QString>

namespace darni::link {

// The names the transfer asks for, first the one, then the other.
QString com1PortName(); // "\\.\COM1"
QString com2PortName(); // "\\.\COM2"

class PortNameMap
{
public:
    // On Windows the names are devices already. Elsewhere each maps to a device: the environment
    // variables DARNI_COM1 / DARNI_COM2 win, then the given settings values, then /dev/ttyS0 and
    // /dev/ttyS1.
    static PortNameMap forThisPlatform(const QString& com1Setting = {}, const QString& com2Setting = {});
    // Explicit devices, for tests and tools.
    static PortNameMap explicitDevices(const QString& com1Device, const QString& com2Device);

    // The device for a port name; names other than the two pass through unchanged.
    QString deviceFor(const QString& portName) const;

private:
    QString m_com1Device;
    QString m_com2Device;
};

} // namespace darni::link
