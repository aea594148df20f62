// The serial port as the transfer sees it: open by name, send, and received bytes delivered in order
// in chunks on the event loop. SerialPortDriver is the real one; tests and tools may bring others.
#pragma once

#include "portfailure.h"

#include <QObject>
#include <QString>

namespace darni::link {

class SerialPort : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Takes effect only while the port is closed.
    virtual void setPortName(const QString& name) = 0;
    virtual QString portName() const = 0;
    // Opens and configures the port; does nothing when it is open. A port that cannot be opened or
    // configured stays closed, silently: the transfer's answer time-out deals with it, and failure()
    // tells why.
    virtual void connectPort() = 0;
    // No data event follows once this returns.
    virtual void disconnectPort() = 0;
    virtual bool isConnected() const = 0;
    // The number of bytes written; fewer than asked on a closed port or after the output time-out.
    virtual qint64 sendData(const char* data, qint64 size) = 0;
    bool sendChar(char c) { return sendData(&c, 1) == 1; }
    // Why the last connectPort() left the port closed, or why the open port was lost; None after a
    // good open. failureText() says it to the user.
    virtual PortFailure failure() const { return PortFailure::None; }
    virtual QString failureText() const { return {}; }

Q_SIGNALS:
    // `data` is valid only during the call; `size` is at least 1.
    void dataReceived(const char* data, int size);
    // The device went away while the port was open (an adapter pulled out); the port is closed.
    void lost();
};

} // namespace darni::link
