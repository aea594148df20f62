// One asking of the instrument as every front end runs it: the window's "Создать" and "Дополнить", the
// port dialog's check and darni-cli receive. The job owns the receive buffer and the transfer, and the
// port too where it is given device names rather than a port; the session it runs tells its progress.
#pragma once

#include "portnames.h"
#include "receivebuffer.h"
#include "serialport.h"
#include "transfersession.h"

#include "transfer/transfer.h"

#include <QObject>
#include <QString>

#include <memory>

namespace darni::link {

class TransferJob : public QObject
{
    Q_OBJECT
public:
    using Status = TransferSession::Status;

    // Asks over `port`, which outlives the job (the window's, a simulated instrument in tests).
    explicit TransferJob(SerialPort& port, QObject* parent = nullptr);
    // Asks over the serial devices these names map to, through a port of the job's own.
    explicit TransferJob(const PortNameMap& names, QObject* parent = nullptr);
    ~TransferJob() override;

    // Its status texts, device information and progress, for whoever shows them.
    TransferSession& session() { return *m_session; }
    void setAnswerTimeout(int milliseconds) { m_session->setAnswerTimeout(milliseconds); }

    // COM1 then COM2, for the memory.
    void start() { m_session->start(); }
    // `portName` alone, for the device information.
    void identify(const QString& portName) { m_session->identify(portName); }
    void cancel() { m_session->cancel(); }
    bool isRunning() const { return m_session->isRunning(); }

    // How the last run ended; Cancelled before any.
    Status status() const { return m_status; }
    bool succeeded() const { return m_status == Status::Done; }
    // What the last run received: the header once the instrument told it (also when its device type
    // was refused), the memory once it passed its checksum.
    const transfer::Transfer& received() const { return m_received; }
    bool headerReceived() const { return m_session->headerReceived(); }
    // Why the ports could not be used, for the lines under a failure's message.
    QString failureCause() const { return m_session->failureCause(); }

Q_SIGNALS:
    // As the session's: the port is closed by now.
    void finished(darni::link::TransferSession::Status status, const QString& message, const QString& caption);

private:
    void connectSession();

    // Declared first, so destroyed last: the session goes before the port it listens to.
    std::unique_ptr<SerialPort> m_ownPort; // only when the job was given names
    ReceiveBuffer m_buffer;
    transfer::Transfer m_received;
    std::unique_ptr<TransferSession> m_session;
    Status m_status = Status::Cancelled;
};

} // namespace darni::link
