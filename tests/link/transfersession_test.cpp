// The transfer protocol, run against a scripted port that answers as the simulated instrument does.
#include "instrument.h"
#include "link/portnames.h"
#include "link/transferjob.h"
#include "link/transfersession.h"
#include "link/wirecodec.h"
#include "support/qtprinters.h"
#include "support/scriptedport.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace darni;
using link::TransferSession;
using Status = TransferSession::Status;
using darni::testing::ScriptedPort;

namespace {

constexpr int kShortTimeoutMs = 100;
constexpr int kWaitMs = 10000;

// The instrument answers only on the port it is plugged into.
ScriptedPort::Responder instrumentOn(const QString& port, std::shared_ptr<sim::Instrument> instrument)
{
    return
        [port, instrument](const QString& name, char c) { return name == port ? instrument->answer(c) : QByteArray(); };
}

std::shared_ptr<sim::Instrument> instrument(sim::Faults faults = {}, sim::GeneratorSettings generator = {12, 5, 3})
{
    return std::make_shared<sim::Instrument>(sim::InstrumentMemory::generated(generator), faults);
}

struct SessionRun
{
    Status status = Status::Cancelled;
    QString message;
    QString caption;
    QStringList statuses;
    QString deviceName, firmware, counters;
    int lastProgress = -1;
    bool finished = false;
};

class TransferSessionTest : public ::testing::Test
{
protected:
    SessionRun runWith(ScriptedPort& port)
    {
        TransferSession session(port, m_buffer, m_received);
        session.setAnswerTimeout(kShortTimeoutMs);
        SessionRun run;
        QObject::connect(&session, &TransferSession::statusChanged, [&](const QString& s) { run.statuses << s; });
        QObject::connect(&session, &TransferSession::deviceInfoChanged,
                         [&](const QString& n, const QString& f, const QString& c) {
                             run.deviceName = n;
                             run.firmware = f;
                             run.counters = c;
                         });
        QObject::connect(&session, &TransferSession::progressChanged, [&](int p) { run.lastProgress = p; });
        QObject::connect(&session, &TransferSession::finished, [&](Status st, const QString& m, const QString& c) {
            EXPECT_FALSE(port.isConnected()) << "the port is closed before the end is told";
            run.status = st;
            run.message = m;
            run.caption = c;
            run.finished = true;
        });
        QSignalSpy done(&session, &TransferSession::finished);
        session.start();
        if (done.isEmpty()) {
            EXPECT_TRUE(done.wait(kWaitMs));
        }
        EXPECT_FALSE(session.isRunning());
        return run;
    }

    std::vector<std::uint8_t> receivedImage() const { return bytesOf(m_image); }
    static std::vector<std::uint8_t> bytesOf(const transfer::DeviceImage& image)
    {
        return {image.data(), image.data() + image.size()};
    }

    link::ReceiveBuffer m_buffer;
    transfer::Transfer m_received;
    transfer::DeviceHeader& m_header = m_received.header;
    transfer::DeviceImage& m_image = m_received.image;
};

TEST_F(TransferSessionTest, AGoodTransferFillsHeaderAndImage)
{
    const auto sim = instrument({}, {12, 500, 5});
    ScriptedPort port({link::com1PortName()}, instrumentOn(link::com1PortName(), sim));
    const SessionRun run = runWith(port);

    EXPECT_EQ(run.status, Status::Done);
    EXPECT_TRUE(run.message.isEmpty());
    EXPECT_EQ(port.sent(), QByteArray("VN"));
    EXPECT_EQ(port.openings(), QStringList{link::com1PortName()});
    EXPECT_EQ(run.deviceName, QStringLiteral("ОРНАК-ТР5"));
    EXPECT_EQ(run.firmware, QStringLiteral("01.12.07"));
    EXPECT_EQ(run.counters, QStringLiteral(" 12/500"));
    EXPECT_EQ(run.statuses, (QStringList{TransferSession::waitingText(), TransferSession::receivingText(),
                                         TransferSession::receivedText()}));
    EXPECT_EQ(m_header.deviceType, 1);
    EXPECT_EQ(m_header.recordCountA, 12);
    EXPECT_EQ(m_header.surfaceBase, 1500);
    EXPECT_EQ(receivedImage(), bytesOf(sim->memory().asTransfer().image));
    EXPECT_GT(run.lastProgress, 0);
}

TEST_F(TransferSessionTest, TheInstrumentIsLookedForOnCom1ThenCom2)
{
    struct Case
    {
        const char* what;
        QStringList openable;
        QStringList openings;
    } const cases[] = {
        {"COM1 missing", {link::com2PortName()}, {link::com2PortName()}},
        {"COM1 silent", {link::com1PortName(), link::com2PortName()}, {link::com1PortName(), link::com2PortName()}},
    };
    for (const auto& c : cases) {
        const auto sim = instrument();
        ScriptedPort port(c.openable, instrumentOn(link::com2PortName(), sim));
        const SessionRun run = runWith(port);
        EXPECT_EQ(run.status, Status::Done) << c.what;
        EXPECT_EQ(port.openings(), c.openings) << c.what;
        EXPECT_EQ(receivedImage(), bytesOf(sim->memory().asTransfer().image)) << c.what;
    }
}

// The job every front end runs: it keeps the status and the transfer of its last run, a failure's
// status naming its cause and leaving the earlier memory out of what it holds.
TEST_F(TransferSessionTest, AJobKeepsTheStatusAndTheTransferOfItsLastRun)
{
    const auto good = instrument({}, {7, 3, 2});
    sim::Faults badMemory;
    badMemory.badMemoryChecksum = true;
    const auto broken = instrument(badMemory);
    bool answerBroken = false;
    ScriptedPort port({link::com1PortName()}, [&](const QString& name, char c) {
        return name == link::com1PortName() ? (answerBroken ? broken : good)->answer(c) : QByteArray();
    });
    link::TransferJob job(port);
    job.setAnswerTimeout(kShortTimeoutMs);
    EXPECT_EQ(job.status(), link::TransferJob::Status::Cancelled);
    const auto runJob = [&] {
        QSignalSpy done(&job, &link::TransferJob::finished);
        job.start();
        if (done.isEmpty()) {
            EXPECT_TRUE(done.wait(kWaitMs));
        }
        return done.isEmpty() ? QString() : done.at(0).at(1).toString();
    };

    EXPECT_TRUE(runJob().isEmpty());
    EXPECT_TRUE(job.succeeded());
    EXPECT_EQ(bytesOf(job.received().image), bytesOf(good->memory().asTransfer().image));

    answerBroken = true;
    EXPECT_EQ(runJob(), link::TransferSession::transferErrorMessage());
    EXPECT_EQ(job.status(), link::TransferJob::Status::MemoryChecksum);
    EXPECT_FALSE(job.succeeded());
    EXPECT_EQ(job.received().image.size(), 0u) << "no memory that failed its checksum is handed on";
    EXPECT_TRUE(job.failureCause().contains(QStringLiteral("памяти прибора"))) << job.failureCause().toStdString();
}

TEST_F(TransferSessionTest, NoInstrumentAnywhere)
{
    ScriptedPort port({link::com1PortName(), link::com2PortName()});
    const SessionRun run = runWith(port);
    EXPECT_EQ(run.status, Status::NoInstrument);
    EXPECT_EQ(run.message,
              QStringLiteral("Прибор не обнаружен! Проверте правильность подключения согласно инструкции!"));
    EXPECT_EQ(run.caption, QStringLiteral("Ошибка"));
    EXPECT_EQ(port.portName(), link::com1PortName());
    EXPECT_EQ(port.sent(), QByteArray("VV"));
}

TEST_F(TransferSessionTest, FailuresEndWithTheirMessage)
{
    struct Case
    {
        const char* what;
        sim::Faults faults;
        sim::GeneratorSettings memory;
        Status status;
        QString message;
    };
    sim::Faults wrongDevice;
    wrongDevice.deviceType = 15;
    sim::Faults badHeader;
    badHeader.badHeaderChecksum = true;
    sim::Faults badMemory;
    badMemory.badMemoryChecksum = true;
    sim::Faults endWithoutStart;
    endWithoutStart.endWithoutStart = true;
    const Case cases[] = {
        {"device type 15",
         wrongDevice,
         {3, 2, 1},
         Status::WrongDevice,
         QStringLiteral("Вы подключили не тот прибор !")},
        {"header checksum", badHeader, {3, 2, 1}, Status::HeaderChecksum, QStringLiteral("Ошибка передачи данных!")},
        {"memory checksum", badMemory, {3, 2, 1}, Status::MemoryChecksum, QStringLiteral("Ошибка передачи данных!")},
        {"'P' without 'S'",
         endWithoutStart,
         {3, 2, 1},
         Status::HeaderChecksum,
         QStringLiteral("Ошибка передачи данных!")},
        {"no data", {}, {0, 0, 1}, Status::NoData, QStringLiteral("Нет данных для передачи!")},
    };
    for (const auto& c : cases) {
        m_header = {};
        ScriptedPort port({link::com1PortName()}, instrumentOn(link::com1PortName(), instrument(c.faults, c.memory)));
        const SessionRun run = runWith(port);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_EQ(run.message, c.message) << c.what;
        EXPECT_EQ(run.caption, QStringLiteral("Error")) << c.what;
    }
    // A refused instrument's header is kept.
    ScriptedPort port({link::com1PortName()}, instrumentOn(link::com1PortName(), instrument(wrongDevice)));
    runWith(port);
    EXPECT_EQ(m_header.deviceType, 15);
}

TEST_F(TransferSessionTest, ARestartInTheMemoryPhaseStartsTheWholeExchangeAgain)
{
    sim::Faults restart;
    restart.restartInMemory = true;
    const auto sim = instrument(restart);
    ScriptedPort port({link::com1PortName()}, instrumentOn(link::com1PortName(), sim));
    const SessionRun run = runWith(port);
    EXPECT_EQ(run.status, Status::Done);
    EXPECT_EQ(port.sent(), QByteArray("VNVN"));
    EXPECT_EQ(receivedImage(), bytesOf(sim->memory().asTransfer().image));
}

TEST_F(TransferSessionTest, ChunksOfAnySizeGiveTheSameImage)
{
    for (const int chunk : {1, 7, 44, 4096, 1 << 24}) {
        const auto sim = instrument({}, {40, 9, 2});
        ScriptedPort port({link::com1PortName()}, instrumentOn(link::com1PortName(), sim), chunk);
        const SessionRun run = runWith(port);
        EXPECT_EQ(run.status, Status::Done) << chunk;
        EXPECT_EQ(receivedImage(), bytesOf(sim->memory().asTransfer().image)) << chunk;
    }
}

TEST_F(TransferSessionTest, AnOddPayloadLosesOnlyTheLoneLastCharacter)
{
    sim::Faults odd;
    odd.oddPayload = true;
    const auto sim = instrument(odd);
    ScriptedPort port({link::com1PortName()}, instrumentOn(link::com1PortName(), sim));
    EXPECT_EQ(runWith(port).status, Status::Done);
    const auto payload = sim->memory().imagePayload();
    ASSERT_EQ(m_image.size(), payload.size() + 4);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), m_image.data()));
}

TEST_F(TransferSessionTest, MoreThanTheBufferHoldsEndsTheTransfer)
{
    const auto sim = instrument();
    ScriptedPort port(
        {link::com1PortName()},
        [sim](const QString&, char c) {
            if (c != link::wire::kRequestMemory)
                return sim->answer(c);
            return QByteArray("S") + QByteArray(static_cast<qsizetype>(link::ReceiveBuffer::kCapacity), '1');
        },
        1 << 22);
    const SessionRun run = runWith(port);
    EXPECT_EQ(run.status, Status::Overflow);
    EXPECT_EQ(run.message, QStringLiteral("Ошибка передачи данных!"));
}

TEST_F(TransferSessionTest, CancelEndsEveryPhaseWithThePortClosed)
{
    enum class Phase { AskingCom1, AskingCom2, Answer, Memory };
    for (const Phase phase : {Phase::AskingCom1, Phase::AskingCom2, Phase::Answer, Phase::Memory}) {
        const auto sim = instrument({}, {200, 50, 4});
        TransferSession* live = nullptr;
        ScriptedPort port(
            {link::com1PortName(), link::com2PortName()},
            [&](const QString& name, char c) -> QByteArray {
                if (phase == Phase::AskingCom1 || (phase == Phase::AskingCom2 && name == link::com1PortName()))
                    return {};
                if (phase == Phase::AskingCom2) {
                    QTimer::singleShot(0, [&] { live->cancel(); });
                    return {};
                }
                const QByteArray answer = sim->answer(c);
                if ((phase == Phase::Answer && c == 'V') || (phase == Phase::Memory && c == 'N'))
                    return answer.left(answer.size() / 2);
                return answer;
            },
            16);
        TransferSession session(port, m_buffer, m_received);
        live = &session;
        session.setAnswerTimeout(phase == Phase::AskingCom2 ? kShortTimeoutMs : kWaitMs);
        QSignalSpy done(&session, &TransferSession::finished);
        session.start();
        if (phase != Phase::AskingCom2)
            QTimer::singleShot(50, [&] { session.cancel(); });
        ASSERT_TRUE(done.wait(kWaitMs));
        EXPECT_EQ(done.at(0).at(0).value<Status>(), Status::Cancelled);
        EXPECT_TRUE(done.at(0).at(1).toString().isEmpty());
        EXPECT_FALSE(port.isConnected());
        EXPECT_FALSE(session.isRunning());
        QTest::qWait(kShortTimeoutMs * 2);
        EXPECT_EQ(done.size(), 1) << "nothing more after a cancel";
    }
}

} // namespace
