// One reading of the instrument's memory over a serial port: ask for the device information ('V'),
// check it, ask for the memory ('N'), receive it into the receive buffer, check it and turn it into
// the device image. Tells its owner what to show by signals; has no widgets.
#pragma once

#include "receivebuffer.h"
#include "serialport.h"

#include "transfer/transfer.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

namespace darni::link {

class TransferSession : public QObject
{
    Q_OBJECT
public:
    // How a run ended. Each failure has its own, so that a caller can tell a line fault from an
    // instrument that is not there; the message and caption a user reads follow from it.
    enum class Status {
        Done,           // the memory (or, asked for that alone, the device information) arrived whole
        Cancelled,      // cancel(): no message
        NoInstrument,   // nothing answered on the ports tried
        WrongDevice,    // the device information names another instrument
        HeaderChecksum, // the device information frame came broken (its checksum, or without its start)
        MemoryChecksum, // the memory frame came broken
        NoData,         // the instrument holds no measurements
        PortLost,       // the port went away during the run
        Overflow,       // more characters than the instrument's memory can hold
    };
    Q_ENUM(Status)

    static constexpr int kAnswerTimeoutMs = 3000;

    // The buffer and the transfer outlive the session; a session fills them on each run: the header
    // once the instrument has told it, the image once the memory passed its checksum.
    TransferSession(SerialPort& port, ReceiveBuffer& buffer, transfer::Transfer& received, QObject* parent = nullptr);

    // Tests shorten the wait for the instrument's first answer; users cannot.
    void setAnswerTimeout(int milliseconds) { m_answerTimer.setInterval(milliseconds); }

    // Begins on "\\.\COM1", falling back to "\\.\COM2" when nothing answers.
    void start();
    // Asks the instrument on `portName` alone for its device information and ends there: Done once it
    // was told (deviceInfoChanged) and the device type is the instrument's.
    void identify(const QString& portName);
    // Ends the run at once, Cancelled, with no message; the port is closed.
    void cancel();
    bool isRunning() const { return m_running; }
    // The last run got as far as the instrument's device information (also when it then refused the
    // device type): only then does the header hold what this instrument said.
    bool headerReceived() const { return m_headerReceived; }
    // Why the ports of the last run could not be used, a sentence per port, for the help under the
    // transfer's message; empty when every port tried opened and stayed.
    QString failureCause() const { return m_causes.join(QLatin1Char('\n')); }

    // A chunk of received characters, as the port delivers them.
    void receive(const char* data, int size);

    // Texts the caller shows, in Russian, exactly so.
    static QString waitingText();
    static QString receivingText();
    static QString receivedText();
    static QString notFoundMessage();
    static QString transferErrorMessage();
    static QString wrongDeviceMessage();
    static QString noDataMessage();
    static QString deviceName();
    static QString notFoundCaption(); // "Ошибка"
    static QString errorCaption();    // "Error"
    // What a user reads when a run ends so, and the box's caption; both empty for Done and Cancelled.
    static QString messageFor(Status status);
    static QString captionFor(Status status);

Q_SIGNALS:
    void statusChanged(const QString& text);
    void deviceInfoChanged(const QString& deviceName, const QString& firmwareVersion, const QString& counters);
    void progressChanged(int position);
    // The characters the memory frame will have brought when progressChanged reaches `total`; told
    // once its length words are in.
    void expectedLengthKnown(int total);
    // The port is closed before this is emitted; `message` and `caption` are messageFor(status) and
    // captionFor(status).
    void finished(darni::link::TransferSession::Status status, const QString& message, const QString& caption);

private:
    void begin(const QString& portName, bool identifyOnly);
    void resetPhase();
    void tryPort(const QString& portName);
    void portLost();
    void sendRequest(char command);
    void answerTimedOut();
    bool scanMarkers(const char* data, int size);
    void checkDataLength();
    void handleDeviceInfoFrame();
    void handleMemoryFrame();
    void fail(Status status);
    void finish(Status status);

    SerialPort& m_port;
    ReceiveBuffer& m_buffer;
    transfer::DeviceHeader& m_header;
    transfer::DeviceImage& m_image;
    QTimer m_answerTimer;

    bool m_running = false;
    bool m_headerReceived = false;
    char m_commandState = 0;
    bool m_frameStarted = false;
    bool m_frameEnded = false;
    bool m_lengthKnown = false;
    std::size_t m_nextProgressAt = 0; // characters of the phase at which the bar moves next
    bool m_identifyOnly = false;
    QStringList m_causes;
};

} // namespace darni::link
