// The real serial port over QSerialPort.
#include "serialportdriver.h"

#include "linklog.h"

#include <QDeadlineTimer>
#include <QFileInfo>

namespace darni::link {

SerialPortDriver::SerialPortDriver(PortNameMap names, QObject* parent)
    : SerialPort(parent), m_names(std::move(names)), m_portName(com1PortName()), m_chunk(kInBufSize, '\0')
{
    m_pollTimer.setInterval(kPollingDelayMs);
    connect(&m_pollTimer, &QTimer::timeout, this, &SerialPortDriver::poll);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialPortDriver::portError);
}

SerialPortDriver::~SerialPortDriver()
{
    disconnectPort();
}

void SerialPortDriver::setPortName(const QString& name)
{
    if (!isConnected())
        m_portName = name;
}

void SerialPortDriver::connectPort()
{
    if (isConnected())
        return;
    const QString device = m_names.deviceFor(m_portName);
    m_port.setPortName(device);
    // QSerialPort opens the device exclusively (a lock file and TIOCEXCL, or no sharing on Windows).
    if (!m_port.open(QIODevice::ReadWrite)) {
        qCInfo(lcLink) << "cannot open" << m_portName << "as" << device << m_port.errorString();
        noteOpenFailure(device);
        return;
    }
    if (!configure()) {
        qCInfo(lcLink) << "cannot configure" << device << m_port.errorString();
        noteFailure(PortFailure::Other, device);
        m_port.close();
        return;
    }
    m_failure = PortFailure::None;
    m_pollTimer.start();
}

void SerialPortDriver::noteOpenFailure(const QString& device)
{
    const QSerialPort::SerialPortError error = m_port.error();
#ifdef Q_OS_WIN
    const bool missing = error == QSerialPort::DeviceNotFoundError;
#else
    const bool missing = error == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(device);
#endif
    noteFailure(classifyOpenFailure(device, missing, error == QSerialPort::PermissionError), device);
    m_port.clearError();
}

void SerialPortDriver::noteFailure(PortFailure failure, const QString& device)
{
    m_failure = failure;
    m_failedDevice = device;
    m_systemText = m_port.errorString();
}

void SerialPortDriver::portError(QSerialPort::SerialPortError error)
{
    // A read that fails on an open port: the device is no longer there (an unplugged adapter gives a
    // resource error, a line whose far end closed a read error).
    const bool gone = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!gone || !isConnected())
        return;
    qCInfo(lcLink) << "lost" << m_portName << m_port.errorString();
    noteFailure(PortFailure::DeviceGone, m_names.deviceFor(m_portName));
    m_pollTimer.stop();
    m_port.close();
    Q_EMIT lost();
}

QString SerialPortDriver::failureText() const
{
    return portFailureText(m_failure, m_portName, m_failedDevice, m_systemText);
}

bool SerialPortDriver::configure()
{
    if (!m_port.setBaudRate(kBaudRate) || !m_port.setDataBits(QSerialPort::Data8) ||
        !m_port.setParity(QSerialPort::NoParity) || !m_port.setStopBits(QSerialPort::TwoStop) ||
        !m_port.setFlowControl(QSerialPort::NoFlowControl))
        return false;
    // The instrument needs DTR low and RTS high. A line without modem signals (a pseudo-terminal, some
    // adapters) refuses them; it still carries the data, so that is not a reason to give up the port.
    if (!m_port.setDataTerminalReady(false) || !m_port.setRequestToSend(true)) {
        qCInfo(lcLink) << "modem lines not set on" << m_port.portName() << m_port.errorString();
        m_port.clearError();
    }
    if (!m_port.clear(QSerialPort::AllDirections))
        return false;
    m_port.setReadBufferSize(0); // the driver's own queue holds what arrives between two polls
    return true;
}

void SerialPortDriver::disconnectPort()
{
    if (!isConnected())
        return;
    m_pollTimer.stop();
    m_port.close();
}

void SerialPortDriver::poll()
{
    // Deliver everything waiting, a buffer at a time; the receiver may close the port in between.
    while (isConnected() && m_port.bytesAvailable() > 0) {
        const qint64 n = m_port.read(m_chunk.data(), kInBufSize);
        if (n <= 0)
            return;
        Q_EMIT dataReceived(m_chunk.constData(), static_cast<int>(n));
    }
}

qint64 SerialPortDriver::sendData(const char* data, qint64 size)
{
    if (!isConnected())
        return 0;
    qint64 queued = 0;
    QDeadlineTimer sinceProgress(kOutputTimeoutMs);
    while (queued < size) {
        const qint64 room = kOutBufSize - m_port.bytesToWrite();
        const qint64 n = room > 0 ? m_port.write(data + queued, std::min(room, size - queued)) : 0;
        if (n > 0) {
            queued += n;
            sinceProgress.setRemainingTime(kOutputTimeoutMs);
        } else if (sinceProgress.hasExpired() || !m_port.waitForBytesWritten(kOutputTimeoutMs)) {
            break;
        }
    }
    // Written means handed to the device, not only queued here.
    while (m_port.bytesToWrite() > 0 && m_port.waitForBytesWritten(kOutputTimeoutMs)) {
    }
    return queued - m_port.bytesToWrite();
}

} // namespace darni::link
