// The serial port as the transfer sees it: open by name, send, and received bytes delivered in order
// in chunks on the event loop. SerialPortDriver is the real one; tests and tools may bring others.
#pragma once

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
    // configured stays closed, silently: the transfer's answer time-out deals with it.
    virtual void connectPort() = 0;
    // No data event follows once this returns.
    virtual void disconnectPort() = 0;
    virtual bool isConnected() const = 0;
    // The number of bytes written; fewer than asked on a closed port or after the output time-out.
    virtual qint64 sendData(const char* data, qint64 size) = 0;
    bool sendChar(char c) { return sendData(&c, 1) == 1; }

Q_SIGNALS:
    // `data` is valid only during the call; `size` is at least 1.
    void dataReceived(const char* data, int size);
};

} // namespace darni::link
