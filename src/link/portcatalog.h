// The serial ports this computer has, as the port dialog lists them.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace darni::link {

struct SerialPortDescription
{
    QString device;       // what the program opens: "/dev/ttyUSB0", "COM3"
    QString name;         // the system's short name: "ttyUSB0", "COM3"
    QString description;  // "USB-Serial Controller", where known
    QString manufacturer; // "Prolific Technology Inc.", where known
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;

    bool operator==(const SerialPortDescription&) const = default;
};

// The ports the system knows now, by device name.
std::vector<SerialPortDescription> systemSerialPorts();

// "067B:2303" for a USB adapter; empty when the ids are not known.
QString usbIds(const SerialPortDescription& port);

} // namespace darni::link
