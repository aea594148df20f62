// The simulator's end of a pseudo-terminal: the program opens the other end as its serial port.
// Output is paced as a 9600 baud line with 8 data bits and 2 stop bits unless told otherwise.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

namespace darni::sim {

class PtyLine
{
public:
    // 9600 baud, 11 bits a character (start, 8 data, 2 stop).
    static constexpr double kCharactersPerSecond = 9600.0 / 11.0;

    // Throws std::runtime_error when no pseudo-terminal can be had.
    explicit PtyLine(bool paced);
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // The device the program opens.
    const QString& devicePath() const { return m_devicePath; }

    // Waits up to `timeout` for received characters and returns them (possibly none).
    QByteArray receive(std::chrono::milliseconds timeout);
    // Queues characters to send; a new request drops what was still queued.
    void queue(const QByteArray& chars) { m_pending += chars; }
    void dropQueued();
    bool hasQueued() const { return m_sent < m_pending.size(); }
    // Sends as much of the queue as the line's pace allows by now.
    void sendDue();

private:
    int m_master = -1;
    int m_slave = -1; // held open so that the line stays up while the program reopens its end
    QString m_devicePath;
    bool m_paced;
    QByteArray m_pending;
    qsizetype m_sent = 0; // of m_pending
    std::chrono::steady_clock::time_point m_paceStart;
    double m_sentSincePaceStart = 0;
};

} // namespace darni::sim
