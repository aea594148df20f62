// The real serial port over QSerialPort: 9600 baud, 8 data bits, no parity, 2 stop bits, DTR low,
// RTS high, no handshake; received bytes fetched every 50 ms on the event loop and handed on in
// chunks from one reused buffer.
#pragma once

#include "portnames.h"
#include "serialport.h"

#include <QByteArray>
#include <QSerialPort>
#include <QTimer>

namespace darni::link {

class SerialPortDriver : public SerialPort
{
    Q_OBJECT
public:
    static constexpr qint32 kBaudRate = 9600;
    static constexpr int kInBufSize = 4096;
    static constexpr int kOutBufSize = 4096;
    static constexpr int kPollingDelayMs = 50;
    static constexpr int kOutputTimeoutMs = 500;

    explicit SerialPortDriver(PortNameMap names, QObject* parent = nullptr);
    ~SerialPortDriver() override;

    // The devices the port names stand for, from the next opening on.
    void setPortNames(PortNameMap names) { m_names = std::move(names); }
    void setPortName(const QString& name) override;
    QString portName() const override { return m_portName; }
    void connectPort() override;
    void disconnectPort() override;
    bool isConnected() const override { return m_port.isOpen(); }
    qint64 sendData(const char* data, qint64 size) override;
    PortFailure failure() const override { return m_failure; }
    QString failureText() const override;

private:
    bool configure();
    void poll();
    void noteOpenFailure(const QString& device);
    void noteFailure(PortFailure failure, const QString& device);
    void portError(QSerialPort::SerialPortError error);

    PortNameMap m_names;
    QString m_portName;
    QSerialPort m_port;
    QTimer m_pollTimer;
    QByteArray m_chunk; // reused for every delivery
    PortFailure m_failure = PortFailure::None;
    QString m_failedDevice;
    QString m_systemText;
};

} // namespace darni::link
