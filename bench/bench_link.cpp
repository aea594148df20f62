// The link's two figures: the protocol's own cost per character (a full-capacity memory frame fed
// through the session in 44-character chunks, against memcpy of the same bytes), and a whole transfer
// from ornak-sim at 9600 baud against the time the line itself needs for those characters.
#include "benchharness.h"

#include "link/portnames.h"
#include "link/receivebuffer.h"
#include "link/serialportdriver.h"
#include "link/transfersession.h"
#include "link/wirecodec.h"
#include "transfer/deviceheader.h"
#include "transfer/deviceimage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

using namespace darni;

namespace {

constexpr int kChunk = 44; // what one 50 ms poll brings at 9600 baud
constexpr int kProtocolRepetitions = 7;
constexpr int kTransferRepetitions = 3;
constexpr double kProtocolGoal = 8.0;
constexpr double kTransferGoal = 1.05;
constexpr double kBitsPerCharacter = 11.0;
constexpr double kBaud = 9600.0;
constexpr int kTransferRecordsPerBlock = 100;

// A session that has passed the device information and waits for the memory frame.
class Session
{
public:
    class Port : public link::SerialPort
    {
    public:
        void setPortName(const QString& n) override { m_name = n; }
        QString portName() const override { return m_name; }
        void connectPort() override { m_open = true; }
        void disconnectPort() override { m_open = false; }
        bool isConnected() const override { return m_open; }
        qint64 sendData(const char*, qint64 n) override { return n; }

    private:
        QString m_name;
        bool m_open = false;
    };

    link::ReceiveBuffer buffer;
    transfer::Transfer received;
    Port port;
    link::TransferSession session{port, buffer, received};

    void toMemoryPhase()
    {
        session.start();
        const std::vector<std::uint8_t> info = {0, 1, 7, 12, 1, 0, 0, 0xDC, 0x05, 1, 0, 0, 0};
        const QByteArray f = link::wire::frame(link::wire::encodePayload(info));
        session.receive(f.constData(), static_cast<int>(f.size()));
    }
};

QByteArray fullCapacityMemoryFrame()
{
    const std::size_t payloadBytes = (link::ReceiveBuffer::kCapacity - 2 - link::wire::kChecksumChars) / 2;
    std::vector<std::uint8_t> payload(payloadBytes);
    std::mt19937 random(7);
    for (auto& b : payload)
        b = static_cast<std::uint8_t>(random());
    payload[0] = 1; // length words that do not multiply to 0
    payload[2] = 44;
    return link::wire::frame(link::wire::encodePayload(payload));
}

void protocolBenchmark()
{
    const QByteArray frame = fullCapacityMemoryFrame();
    std::vector<char> copy(static_cast<std::size_t>(frame.size()));
    auto session = std::make_unique<Session>();
    bool ok = true;

    const auto feed = [&] {
        session->toMemoryPhase();
        for (qsizetype at = 0; at < frame.size(); at += kChunk)
            session->session.receive(frame.constData() + at,
                                     static_cast<int>(std::min<qsizetype>(kChunk, frame.size() - at)));
        ok = ok && !session->session.isRunning() && session->received.image.size() > 0;
    };
    const auto reference = [&] { std::memcpy(copy.data(), frame.constData(), copy.size()); };
    const auto c = bench::compare(kProtocolRepetitions, feed, reference);
    std::printf("protocol: %lld characters, %.2f ns a character, memcpy %.3f ns a character%s\n",
                static_cast<long long>(frame.size()), c.subjectSeconds * 1e9 / static_cast<double>(frame.size()),
                c.referenceSeconds * 1e9 / static_cast<double>(frame.size()), ok ? "" : " (TRANSFER FAILED)");
    bench::printRatio("link.protocol", c, kProtocolGoal);
}

// One paced transfer from the simulator; returns seconds and the characters the line carried.
std::pair<double, double> timedTransfer()
{
    QProcess sim;
    sim.start(QStringLiteral(DARNI_ORNAK_SIM),
              {QStringLiteral("--records"), QStringLiteral("%1,%1").arg(kTransferRecordsPerBlock)});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(10000))
        return {0, 0};
    const QString device = QString::fromLocal8Bit(sim.readLine().trimmed().mid(QByteArray("ornak-sim: ").size()));

    link::SerialPortDriver port(link::PortNameMap::explicitDevices(device, {}));
    link::ReceiveBuffer buffer;
    transfer::Transfer received;
    link::TransferSession session(port, buffer, received);
    QEventLoop loop;
    bool ok = false;
    QObject::connect(&session, &link::TransferSession::finished, [&](link::TransferSession::Status status) {
        ok = status == link::TransferSession::Status::Done;
        loop.quit();
    });
    QElapsedTimer clock;
    clock.start();
    session.start();
    loop.exec();
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    sim.terminate();
    sim.waitForFinished();
    if (!ok)
        return {0, 0};
    // Both frames: 'S', two characters a byte, the checksum, 'P'.
    const double headerChars = 2 + 2.0 * static_cast<double>(received.header.payload.size()) + 8;
    const double memoryChars = 2 + 2.0 * static_cast<double>(received.image.size());
    return {seconds, headerChars + memoryChars};
}

void transferBenchmark()
{
    std::vector<double> ratios;
    std::vector<double> seconds;
    std::vector<double> lineSeconds;
    for (int i = 0; i < kTransferRepetitions; ++i) {
        const auto [s, chars] = timedTransfer();
        if (chars == 0) {
            std::printf("transfer from ornak-sim failed\nRATIO link.transfer n/a goal <= %.2f\n", kTransferGoal);
            return;
        }
        const double line = chars * kBitsPerCharacter / kBaud;
        seconds.push_back(s);
        lineSeconds.push_back(line);
        ratios.push_back(s / line);
    }
    bench::printRatio("link.transfer", {bench::median(seconds), bench::median(lineSeconds), bench::median(ratios)},
                      kTransferGoal);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("darni.*=false"));
    protocolBenchmark();
    transferBenchmark();
    return 0;
}
