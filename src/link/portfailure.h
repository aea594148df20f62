// Why a serial port could not be used, and the sentence that tells a user what to do about it. The
// transfer's own messages stay as they are; this is the help shown under them.
#pragma once

#include <QString>

namespace darni::link {

enum class PortFailure {
    None,
    NoSuchDevice, // nothing by that name: the adapter is unplugged or the name is wrong
    NoPermission, // the device is there, but this user may not open it
    Busy,         // another program holds the port
    DeviceGone,   // the device went away while the port was open
    Other,        // anything else the system reported
};

// The cause behind a failed open of `device`. `deniedByTheSystem` is what the serial port library
// reported as a permission error (which it also reports for a port held by another program);
// `missing` when the system has no such device.
PortFailure classifyOpenFailure(const QString& device, bool missing, bool deniedByTheSystem);

// One sentence in Russian naming the cause for the port the program calls `portName` ("\\.\COM1", or a
// device) on `device`; `systemText` is added for Other. Empty for None.
QString portFailureText(PortFailure failure, const QString& portName, const QString& device,
                        const QString& systemText = {});

// The group whose members may open `device` (on Linux usually "dialout"); empty where unknown.
QString deviceGroup(const QString& device);

} // namespace darni::link
