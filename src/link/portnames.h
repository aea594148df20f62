// The program's two port names and the serial devices they stand for on this platform.
#pragma once

#include <QString>

namespace darni::link {

// The names the transfer asks for, first the one, then the other.
QString com1PortName(); // "\\.\COM1"
QString com2PortName(); // "\\.\COM2"

// "COM1" or "COM2" for the two port names, as users know them; other names as they stand.
QString shownPortName(const QString& portName);
// The environment variable that names the device for one of the two port names; empty for others.
QString environmentVariableFor(const QString& portName);

// The device the environment names for one of the two port names (DARNI_COM1 / DARNI_COM2); empty
// when it names none. It wins over the settings.
QString environmentDevice(const QString& portName);
// The device a port name stands for when neither the environment nor the settings name one: the name
// itself on Windows, /dev/ttyS0 and /dev/ttyS1 elsewhere.
QString defaultDevice(const QString& portName);

class PortNameMap
{
public:
    // Each name maps to a device: the environment variables DARNI_COM1 / DARNI_COM2 win, then the
    // given settings values (the port dialog's choice), then defaultDevice().
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
