// The serial ports this computer has.
#include "portcatalog.h"

#include <QSerialPortInfo>

#include <algorithm>

namespace darni::link {

namespace {
constexpr int kIdDigits = 4;
constexpr int kHexBase = 16;

QString hexId(quint16 id)
{
    return QStringLiteral("%1").arg(id, kIdDigits, kHexBase, QLatin1Char('0')).toUpper();
}
} // namespace

std::vector<SerialPortDescription> systemSerialPorts()
{
    std::vector<SerialPortDescription> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialPortDescription port;
        port.device = info.systemLocation();
        port.name = info.portName();
        port.description = info.description();
        port.manufacturer = info.manufacturer();
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        if (info.hasProductIdentifier())
            port.productId = info.productIdentifier();
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.device < b.device; });
    return ports;
}

QString usbIds(const SerialPortDescription& port)
{
    if (!port.vendorId || !port.productId)
        return {};
    return hexId(*port.vendorId) + QLatin1Char(':') + hexId(*port.productId);
}

} // namespace darni::link
