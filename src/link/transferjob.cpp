// One asking of the instrument, with everything it needs of its own.
#include "transferjob.h"

#include "serialportdriver.h"

namespace darni::link {

TransferJob::TransferJob(SerialPort& port, QObject* parent)
    : QObject(parent), m_session(std::make_unique<TransferSession>(port, m_buffer, m_received))
{
    connectSession();
}

TransferJob::TransferJob(const PortNameMap& names, QObject* parent)
    : QObject(parent), m_ownPort(std::make_unique<SerialPortDriver>(names)),
      m_session(std::make_unique<TransferSession>(*m_ownPort, m_buffer, m_received))
{
    connectSession();
}

TransferJob::~TransferJob() = default;

void TransferJob::connectSession()
{
    connect(m_session.get(), &TransferSession::finished, this,
            [this](Status status, const QString& message, const QString& caption) {
                m_status = status;
                Q_EMIT finished(status, message, caption);
            });
}

} // namespace darni::link
