// One reading of the instrument's memory over a serial port: ask for the device information ('V'),
// check it, ask for the memory ('N'), receive it into the receive buffer, check it and turn it into
// the device image. Tells its owner what to show by signals; has no widgets.
#pragma once

#include "receivebuffer.h"
#include "serialport.h"

#include "transfer/transfer.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace darni::link {

class TransferSession : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Ok, Cancel };
    Q_ENUM(Outcome)

    static constexpr int kAnswerTimeoutMs = 3000;

    // The buffer and the transfer outlive the session; a session fills them on each run: the header
    // once the instrument has told it, the image once the memory passed its checksum.
    TransferSession(SerialPort& port, ReceiveBuffer& buffer, transfer::Transfer& received, QObject* parent = nullptr);

    // Tests shorten the wait for the instrument's first answer; users cannot.
    void setAnswerTimeout(int milliseconds) { m_answerTimer.setInterval(milliseconds); }

    // Begins on "\\.\COM1", falling back to "\\.\COM2" when nothing answers.
    void start();
    // Ends the run at once with Cancel and no message; the port is closed.
    void cancel();
    bool isRunning() const { return m_running; }
    // The last run got as far as the instrument's device information (also when it then refused the
    // device type): only then does the header hold what this instrument said.
    bool headerReceived() const { return m_headerReceived; }

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

Q_SIGNALS:
    void statusChanged(const QString& text);
    void deviceInfoChanged(const QString& deviceName, const QString& firmwareVersion, const QString& counters);
    void progressChanged(int position);
    // The port is closed before this is emitted; `message` is empty after a cancel.
    void finished(darni::link::TransferSession::Outcome outcome, const QString& message, const QString& caption);

private:
    void resetPhase();
    void sendRequest(char command);
    void answerTimedOut();
    bool scanMarkers(const char* data, int size);
    void checkDataLength();
    void handleDeviceInfoFrame();
    void handleMemoryFrame();
    void fail(const QString& message, const QString& caption);
    void finish(Outcome outcome, const QString& message, const QString& caption);

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
};

} // namespace darni::link
