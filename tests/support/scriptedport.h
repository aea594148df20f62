// A serial port for tests: opens only the names it is told, records what is sent, and answers each
// sent character through a responder, delivering the answer in chunks on the event loop as a real
// port does.
#pragma once

#include "link/serialport.h"

#include <QByteArray>
#include <QStringList>

#include <deque>
#include <functional>

namespace darni::testing {

class ScriptedPort : public link::SerialPort
{
    Q_OBJECT
public:
    using Responder = std::function<QByteArray(const QString& portName, char sent)>;

    explicit ScriptedPort(QStringList openable, Responder responder = {}, int chunkSize = 44);

    void setPortName(const QString& name) override;
    QString portName() const override { return m_name; }
    void connectPort() override;
    void disconnectPort() override;
    bool isConnected() const override { return m_open; }
    qint64 sendData(const char* data, qint64 size) override;

    // Characters as if they had arrived on the line, delivered with the next chunks.
    void arrive(const QByteArray& chars);

    const QByteArray& sent() const { return m_sent; }
    const QStringList& openings() const { return m_openings; }
    int chunkSize = 44;

private:
    void deliverNext();

    QStringList m_openable;
    Responder m_responder;
    QString m_name;
    bool m_open = false;
    QByteArray m_sent;
    QStringList m_openings;
    QByteArray m_incoming;
    qsizetype m_delivered = 0;
    bool m_deliveryScheduled = false;
};

} // namespace darni::testing
