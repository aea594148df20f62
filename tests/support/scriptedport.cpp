// A serial port for tests.
#include "scriptedport.h"

#include <QTimer>

namespace darni::testing {

ScriptedPort::ScriptedPort(QStringList openable, Responder responder, int chunk)
    : chunkSize(chunk), m_openable(std::move(openable)), m_responder(std::move(responder))
{
}

void ScriptedPort::setPortName(const QString& name)
{
    if (!m_open)
        m_name = name;
}

void ScriptedPort::connectPort()
{
    if (m_open || !m_openable.contains(m_name))
        return;
    m_open = true;
    m_openings << m_name;
}

void ScriptedPort::disconnectPort()
{
    m_open = false;
    m_incoming.clear();
    m_delivered = 0;
}

qint64 ScriptedPort::sendData(const char* data, qint64 size)
{
    if (!m_open)
        return 0;
    for (qint64 i = 0; i < size; ++i) {
        m_sent.append(data[i]);
        if (m_responder)
            arrive(m_responder(m_name, data[i]));
    }
    return size;
}

void ScriptedPort::arrive(const QByteArray& chars)
{
    if (chars.isEmpty())
        return;
    m_incoming.append(chars);
    if (!m_deliveryScheduled) {
        m_deliveryScheduled = true;
        QTimer::singleShot(0, this, &ScriptedPort::deliverNext);
    }
}

void ScriptedPort::deliverNext()
{
    m_deliveryScheduled = false;
    if (!m_open || m_delivered >= m_incoming.size())
        return;
    const qsizetype n = std::min<qsizetype>(chunkSize, m_incoming.size() - m_delivered);
    const QByteArray chunk = m_incoming.mid(m_delivered, n);
    m_delivered += n;
    Q_EMIT dataReceived(chunk.constData(), static_cast<int>(chunk.size()));
    if (m_open && m_delivered < m_incoming.size()) {
        m_deliveryScheduled = true;
        QTimer::singleShot(0, this, &ScriptedPort::deliverNext);
    }
}

} // namespace darni::testing
