// One reading of the instrument's memory over a serial port.
#include "transfersession.h"

#include "linklog.h"
#include "portnames.h"
#include "wirecodec.h"

#include <algorithm>
#include <vector>

namespace darni::link {

namespace {
// The memory frame opens with two length words (the first block's record count and the record length)
// whose product is the first block's size: 'S' and the nine characters after it must be in before they
// can be read.
constexpr std::size_t kLengthWordsSpan = 9;
constexpr std::size_t kFirstLengthWord = 1;
constexpr std::size_t kSecondLengthWord = kFirstLengthWord + wire::kCharsPerWord;
// 'S' and 'P' around a frame's payload characters.
constexpr std::size_t kMarkerChars = 2;
// How far the progress bar moves at least between two updates, in characters.
constexpr std::size_t kProgressStepChars = 1024;
constexpr int kMillisecondsPerSecond = 1000;
// Digits of the answer time-out in seconds as a message shows it ("3", "0,3").
constexpr int kShownDigits = 3;

// Why a frame was refused, for the line under "Ошибка передачи данных!": `start` is where its 'S' is,
// negative when none came; `what` names the frame.
QString frameFailureCause(std::ptrdiff_t start, const QString& what)
{
    if (start < 0)
        return QStringLiteral("Кадр %1 пришел без начала (нет знака \"S\"): данные потеряны на линии.").arg(what);
    return QStringLiteral("Контрольная сумма кадра %1 не сошлась: данные искажены на линии. Проверьте кабель и "
                          "повторите прием.")
        .arg(what);
}
} // namespace

QString TransferSession::waitingText()
{
    return QStringLiteral("Ожидание готовности прибора ...");
}
QString TransferSession::receivingText()
{
    return QStringLiteral("Идет прием информации ...");
}
QString TransferSession::receivedText()
{
    return QStringLiteral("Данные приняты, прибор можно отключить! Обработка данных");
}
QString TransferSession::notFoundMessage()
{
    return QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!");
}
QString TransferSession::transferErrorMessage()
{
    return QStringLiteral("Ошибка передачи данных!");
}
QString TransferSession::wrongDeviceMessage()
{
    return QStringLiteral("Вы подключили не тот прибор !");
}
QString TransferSession::noDataMessage()
{
    return QStringLiteral("Нет данных для передачи!");
}
QString TransferSession::deviceName()
{
    return QStringLiteral("ОРНАК-ТР5");
}
QString TransferSession::notFoundCaption()
{
    return QStringLiteral("Ошибка");
}
QString TransferSession::errorCaption()
{
    return QStringLiteral("Error");
}

QString TransferSession::messageFor(Status status)
{
    switch (status) {
    case Status::Done:
    case Status::Cancelled:
        return {};
    case Status::NoInstrument:
        return notFoundMessage();
    case Status::WrongDevice:
        return wrongDeviceMessage();
    case Status::NoData:
        return noDataMessage();
    case Status::HeaderChecksum:
    case Status::MemoryChecksum:
    case Status::PortLost:
    case Status::Overflow:
        break;
    }
    return transferErrorMessage();
}

QString TransferSession::captionFor(Status status)
{
    switch (status) {
    case Status::Done:
    case Status::Cancelled:
        return {};
    case Status::NoInstrument:
        return notFoundCaption();
    case Status::WrongDevice:
    case Status::HeaderChecksum:
    case Status::MemoryChecksum:
    case Status::NoData:
    case Status::PortLost:
    case Status::Overflow:
        break;
    }
    return errorCaption();
}

TransferSession::TransferSession(SerialPort& port, ReceiveBuffer& buffer, transfer::Transfer& received, QObject* parent)
    : QObject(parent), m_port(port), m_buffer(buffer), m_header(received.header), m_image(received.image)
{
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(kAnswerTimeoutMs);
    connect(&m_answerTimer, &QTimer::timeout, this, &TransferSession::answerTimedOut);
    connect(&m_port, &SerialPort::dataReceived, this, &TransferSession::receive);
    connect(&m_port, &SerialPort::lost, this, &TransferSession::portLost);
}

void TransferSession::resetPhase()
{
    m_frameStarted = false;
    m_frameEnded = false;
    m_buffer.clear();
}

void TransferSession::sendRequest(char command)
{
    m_commandState = command;
    m_port.sendChar(command);
}

void TransferSession::start()
{
    begin(com1PortName(), false);
}

void TransferSession::identify(const QString& portName)
{
    begin(portName, true);
}

void TransferSession::begin(const QString& portName, bool identifyOnly)
{
    m_port.disconnectPort();
    resetPhase();
    m_lengthKnown = false;
    m_nextProgressAt = 0;
    m_headerReceived = false;
    m_identifyOnly = identifyOnly;
    m_causes.clear();
    m_running = true;
    Q_EMIT progressChanged(0);
    Q_EMIT deviceInfoChanged({}, {}, {});
    Q_EMIT statusChanged(waitingText());
    tryPort(portName);
}

void TransferSession::tryPort(const QString& portName)
{
    m_port.setPortName(portName);
    m_port.connectPort();
    if (!m_port.isConnected())
        m_causes.append(m_port.failureText());
    sendRequest(wire::kRequestDeviceInfo);
    m_answerTimer.start();
}

void TransferSession::portLost()
{
    if (!m_running)
        return;
    m_causes.append(m_port.failureText());
    resetPhase();
    fail(Status::PortLost);
}

void TransferSession::answerTimedOut()
{
    if (!m_running)
        return;
    const bool wasOpen = m_port.isConnected();
    m_port.disconnectPort();
    resetPhase();
    Q_EMIT progressChanged(0);
    // A port that opened but stayed silent is a cause too: the instrument is off, or on the other port.
    if (wasOpen) {
        const double seconds = static_cast<double>(m_answerTimer.interval()) / kMillisecondsPerSecond;
        m_causes.append(QStringLiteral("Порт %1: прибор не ответил за %2 с.")
                            .arg(shownPortName(m_port.portName()),
                                 QString::number(seconds, 'g', kShownDigits).replace(u'.', u',')));
    }
    if (m_port.portName() == com1PortName() && !m_identifyOnly) {
        qCInfo(lcLink) << "no answer on COM1, trying COM2";
        tryPort(com2PortName());
        return;
    }
    m_port.setPortName(com1PortName());
    qCInfo(lcLink) << "no instrument on either port";
    finish(Status::NoInstrument);
}

void TransferSession::cancel()
{
    if (!m_running)
        return;
    resetPhase();
    Q_EMIT progressChanged(0);
    finish(Status::Cancelled);
}

void TransferSession::receive(const char* data, int size)
{
    if (!m_running || size <= 0)
        return;
    // A phase that brings more than the buffer holds is not a transfer we can trust.
    if (!m_buffer.append(data, static_cast<std::size_t>(size))) {
        qCWarning(lcLink) << "more characters than the receive buffer holds";
        m_causes.append(QStringLiteral("Прибор прислал больше данных, чем может хранить его память."));
        fail(Status::Overflow);
        return;
    }
    if (!scanMarkers(data, size))
        return;

    if (m_commandState == wire::kRequestDeviceInfo && m_frameEnded) {
        handleDeviceInfoFrame();
        if (!m_running)
            return;
    }
    if (m_commandState == wire::kRequestMemory && m_frameStarted && !m_lengthKnown) {
        checkDataLength();
        if (!m_running)
            return;
    }
    // The bar moves in steps a person can see; a signal for every few dozen characters costs more
    // than the characters themselves.
    if (m_lengthKnown && (m_buffer.count() >= m_nextProgressAt || m_frameEnded)) {
        Q_EMIT progressChanged(static_cast<int>(m_buffer.count()));
        m_nextProgressAt = m_buffer.count() + kProgressStepChars;
    }
    if (m_frameEnded && m_commandState == wire::kRequestMemory)
        handleMemoryFrame();
}

bool TransferSession::scanMarkers(const char* data, int size)
{
    // Payload characters lie below every marker; most chunks hold nothing else and need no closer look.
    unsigned char highest = 0;
    for (int i = 0; i < size; ++i)
        highest = std::max(highest, static_cast<unsigned char>(data[i]));
    if (highest <= static_cast<unsigned char>(wire::kHighestNibbleChar))
        return true;
    for (int i = 0; i < size; ++i) {
        switch (data[i]) {
        case wire::kFrameEnd:
            m_frameEnded = true;
            break;
        case wire::kFrameStart:
            m_frameStarted = true;
            m_answerTimer.stop();
            break;
        case wire::kRestart:
            // Start over: what came so far is dropped, with the rest of this chunk; the flags stay.
            m_answerTimer.stop();
            m_buffer.clear();
            sendRequest(wire::kRequestDeviceInfo);
            return false;
        default:
            break;
        }
    }
    return true;
}

void TransferSession::checkDataLength()
{
    const std::ptrdiff_t s = m_buffer.find(wire::kFrameStart);
    if (s < 0 || static_cast<std::size_t>(s) + kLengthWordsSpan >= m_buffer.count())
        return;
    const char* at = m_buffer.data() + s;
    const std::uint32_t dataLength =
        static_cast<std::uint32_t>(wire::readWord(at + kFirstLengthWord)) * wire::readWord(at + kSecondLengthWord);
    // The first word counts the first block alone: measurements taken only under the second
    // dependence leave it 0, and the device information has told the second block's count already.
    if (dataLength == 0 && m_header.recordCountB == 0) {
        fail(Status::NoData);
        return;
    }
    if (!m_lengthKnown) {
        const std::size_t bytes = transfer::image::expectedTransferSize(dataLength, m_header.recordCountB);
        const std::size_t total = static_cast<std::size_t>(s) + kMarkerChars + wire::kCharsPerByte * bytes;
        Q_EMIT expectedLengthKnown(static_cast<int>(std::min(total, transfer::image::kCapacity)));
    }
    m_lengthKnown = true;
}

void TransferSession::handleDeviceInfoFrame()
{
    const std::ptrdiff_t s = m_buffer.find(wire::kFrameStart);
    const std::ptrdiff_t p = m_buffer.find(wire::kFrameEnd);
    if (!wire::frameChecksumOk(m_buffer.data(), s, p)) {
        qCInfo(lcLink) << "device information frame failed its checksum";
        m_causes.append(frameFailureCause(s, QStringLiteral("сведений о приборе")));
        fail(Status::HeaderChecksum);
        return;
    }
    std::vector<std::uint8_t> payload;
    for (std::ptrdiff_t at = s + 1; at + 1 < p - static_cast<std::ptrdiff_t>(wire::kChecksumChars);
         at += wire::kCharsPerByte)
        payload.push_back(wire::readByte(m_buffer.data() + at));
    m_header = transfer::DeviceHeader::fromPayload(payload);
    m_headerReceived = true;
    if (m_header.deviceType != transfer::DeviceHeader::kOrnakDeviceType) {
        qCInfo(lcLink) << "refused device type" << m_header.deviceType;
        fail(Status::WrongDevice);
        return;
    }
    Q_EMIT deviceInfoChanged(deviceName(), m_header.firmwareVersion, m_header.countersText());
    if (m_identifyOnly) {
        resetPhase();
        finish(Status::Done);
        return;
    }

    m_frameStarted = false;
    m_frameEnded = false;
    Q_EMIT statusChanged(receivingText());
    m_lengthKnown = false;
    m_nextProgressAt = 0;
    sendRequest(wire::kRequestMemory);
    m_buffer.clear();
}

void TransferSession::handleMemoryFrame()
{
    m_port.disconnectPort();
    Q_EMIT statusChanged(receivedText());
    m_frameStarted = false;
    m_frameEnded = false;

    const std::ptrdiff_t p = m_buffer.find(wire::kFrameEnd);
    const std::ptrdiff_t s = m_buffer.find(wire::kFrameStart);
    // Every whole character pair between the markers, the checksum's four bytes included.
    const auto bytes = wire::decodeFrame(m_buffer.data(), s, p, m_image.writableData());
    if (!bytes) {
        qCInfo(lcLink) << "memory frame failed its checksum";
        m_image.setSize(0);
        m_causes.append(frameFailureCause(s, QStringLiteral("памяти прибора")));
        finish(Status::MemoryChecksum);
        return;
    }
    m_image.setSize(*bytes);
    finish(Status::Done);
}

void TransferSession::fail(Status status)
{
    m_frameStarted = false;
    m_frameEnded = false;
    finish(status);
}

void TransferSession::finish(Status status)
{
    m_answerTimer.stop();
    m_port.disconnectPort();
    m_running = false;
    Q_EMIT finished(status, messageFor(status), captionFor(status));
}

} // namespace darni::link
