// Whole transfers through the real serial port driver, from ornak-sim on a pseudo-terminal.
#include "link/portnames.h"
#include "link/serialportdriver.h"
#include "link/transfersession.h"
#include "support/qtprinters.h"
#include "support/simulatorprocess.h"
#include "transfer/transferfile.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace darni;
using link::TransferSession;
using Status = TransferSession::Status;
using darni::testing::SimulatorProcess;

namespace {

constexpr int kAnswerTimeoutMs = 800;
constexpr int kWaitMs = 20000;

struct Ending
{
    Status status = Status::Cancelled;
    QString message;
    QString counters;
    QString cause; // the lines under the message
};

class SerialTransfer : public ::testing::Test
{
protected:
    QString missingDevice() const { return m_dir.filePath(QStringLiteral("no-such-port")); }

    Ending transfer(const QString& com1, const QString& com2)
    {
        link::SerialPortDriver port(link::PortNameMap::explicitDevices(com1, com2));
        TransferSession session(port, m_buffer, m_received);
        session.setAnswerTimeout(kAnswerTimeoutMs);
        Ending ending;
        QObject::connect(&session, &TransferSession::deviceInfoChanged,
                         [&](const QString&, const QString&, const QString& c) { ending.counters = c; });
        QSignalSpy done(&session, &TransferSession::finished);
        session.start();
        EXPECT_TRUE(done.wait(kWaitMs));
        EXPECT_FALSE(port.isConnected());
        if (!done.isEmpty()) {
            ending.status = done.at(0).at(0).value<Status>();
            ending.message = done.at(0).at(1).toString();
            ending.cause = session.failureCause();
        }
        return ending;
    }

    std::vector<std::uint8_t> receivedImage() const { return bytesOf(m_image); }
    static std::vector<std::uint8_t> bytesOf(const transfer::DeviceImage& image)
    {
        return {image.data(), image.data() + image.size()};
    }

    QTemporaryDir m_dir;
    link::ReceiveBuffer m_buffer;
    transfer::Transfer m_received;
    transfer::DeviceHeader& m_header = m_received.header;
    transfer::DeviceImage& m_image = m_received.image;
};

TEST_F(SerialTransfer, TheImageArrivesByteForByte)
{
    // Either block may be empty: measurements taken only under the second dependence leave the first
    // block's count 0, and they must leave the instrument all the same.
    struct Case
    {
        QString records;
        QString counters;
    } const cases[] = {{QStringLiteral("12,500"), QStringLiteral(" 12/500")},
                       {QStringLiteral("0,216"), QStringLiteral(" 0/216")},
                       {QStringLiteral("7,0"), QStringLiteral(" 7/0")}};
    for (const auto& c : cases) {
        const QString dump = m_dir.filePath(QStringLiteral("served.img"));
        SimulatorProcess sim({QStringLiteral("--full-speed"), QStringLiteral("--records"), c.records,
                              QStringLiteral("--dump-image"), dump});
        ASSERT_TRUE(sim.started());
        const Ending e = transfer(sim.device(), missingDevice());
        EXPECT_EQ(e.status, Status::Done) << c.records.toStdString() << ' ' << e.message.toStdString();
        EXPECT_EQ(e.counters, c.counters);
        const auto served = transfer::loadTransferFile(dump).transfer;
        EXPECT_EQ(m_image, served.image) << c.records.toStdString();
        EXPECT_EQ(m_header.payload, served.header.payload);
    }
}

TEST_F(SerialTransfer, TheInstrumentOnCom2IsFoundAfterCom1)
{
    SimulatorProcess silent({QStringLiteral("--silent")});
    SimulatorProcess sim({QStringLiteral("--full-speed")});
    ASSERT_TRUE(silent.started() && sim.started());
    for (const QString& com1 : {missingDevice(), silent.device()}) {
        const Ending e = transfer(com1, sim.device());
        EXPECT_EQ(e.status, Status::Done) << com1.toStdString() << ' ' << e.message.toStdString();
    }
}

TEST_F(SerialTransfer, FailuresOverTheLine)
{
    struct Case
    {
        const char* what;
        QStringList arguments;
        Status status;
        QString message;
        QString cause; // what the lines under the message say
    } const cases[] = {
        {"no instrument",
         {QStringLiteral("--silent")},
         Status::NoInstrument,
         TransferSession::notFoundMessage(),
         QStringLiteral("Порт COM1: прибор не ответил за 0,8 с.")},
        {"another device",
         {QStringLiteral("--device-type"), QStringLiteral("15")},
         Status::WrongDevice,
         TransferSession::wrongDeviceMessage(),
         {}},
        {"header checksum",
         {QStringLiteral("--bad-checksum"), QStringLiteral("header")},
         Status::HeaderChecksum,
         TransferSession::transferErrorMessage(),
         QStringLiteral("Контрольная сумма кадра сведений о приборе не сошлась")},
        {"memory checksum",
         {QStringLiteral("--bad-checksum"), QStringLiteral("memory")},
         Status::MemoryChecksum,
         TransferSession::transferErrorMessage(),
         QStringLiteral("Контрольная сумма кадра памяти прибора не сошлась")},
        {"no data", {QStringLiteral("--no-data")}, Status::NoData, TransferSession::noDataMessage(), {}},
        {"'P' without 'S'",
         {QStringLiteral("--end-without-start")},
         Status::HeaderChecksum,
         TransferSession::transferErrorMessage(),
         QStringLiteral("пришел без начала")},
    };
    for (const auto& c : cases) {
        SimulatorProcess sim(QStringList{QStringLiteral("--full-speed")} + c.arguments);
        ASSERT_TRUE(sim.started()) << c.what;
        const Ending e = transfer(sim.device(), missingDevice());
        EXPECT_EQ(e.status, c.status) << c.what;
        EXPECT_EQ(e.message, c.message) << c.what;
        EXPECT_TRUE(e.cause.contains(c.cause)) << c.what << ": " << e.cause.toStdString();
    }
    EXPECT_EQ(m_header.deviceType, 1) << "the last header that passed its checksum";
}

TEST_F(SerialTransfer, ARestartInTheMemoryPhaseRunsTheExchangeAgain)
{
    const QString dump = m_dir.filePath(QStringLiteral("served.img"));
    SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--restart-in-memory"), QStringLiteral("--dump-image"), dump});
    ASSERT_TRUE(sim.started());
    const Ending e = transfer(sim.device(), missingDevice());
    EXPECT_EQ(e.status, Status::Done) << e.message.toStdString();
    EXPECT_EQ(receivedImage(), bytesOf(transfer::loadTransferFile(dump).transfer.image));
}

TEST_F(SerialTransfer, CancelDuringTheMemoryFrameClosesThePort)
{
    SimulatorProcess sim({QStringLiteral("--records"), QStringLiteral("100,100")}); // paced: about 20 s
    ASSERT_TRUE(sim.started());
    link::SerialPortDriver port(link::PortNameMap::explicitDevices(sim.device(), missingDevice()));
    TransferSession session(port, m_buffer, m_received);
    QSignalSpy status(&session, &TransferSession::statusChanged);
    QSignalSpy done(&session, &TransferSession::finished);
    session.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.size() >= 2; }, kWaitMs)) << "the memory phase began";
    QTest::qWait(300);
    session.cancel();
    ASSERT_EQ(done.size(), 1);
    EXPECT_EQ(done.at(0).at(0).value<Status>(), Status::Cancelled);
    EXPECT_FALSE(port.isConnected());

    // The port can be had again at once: the next transfer starts afresh.
    QSignalSpy again(&session, &TransferSession::statusChanged);
    session.start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return again.size() >= 2; }, kWaitMs));
    session.cancel();
}

TEST_F(SerialTransfer, TheProgressRangeIsTheAnnouncedMemoryFrame)
{
    SimulatorProcess sim({QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("30,7")});
    ASSERT_TRUE(sim.started());
    link::SerialPortDriver port(link::PortNameMap::explicitDevices(sim.device(), missingDevice()));
    TransferSession session(port, m_buffer, m_received);
    QSignalSpy range(&session, &TransferSession::expectedLengthKnown);
    QSignalSpy progress(&session, &TransferSession::progressChanged);
    QSignalSpy done(&session, &TransferSession::finished);
    session.start();
    ASSERT_TRUE(done.wait(kWaitMs));
    ASSERT_EQ(done.at(0).at(0).value<Status>(), Status::Done);
    ASSERT_EQ(range.size(), 1);
    // 'S', two characters per byte of the image and its checksum, 'P': the bar ends full.
    const int total = range.at(0).at(0).toInt();
    EXPECT_EQ(total, static_cast<int>(2 + 2 * m_image.size()));
    EXPECT_EQ(progress.last().at(0).toInt(), total);
}

TEST_F(SerialTransfer, APortThatCannotBeUsedIsNamedWithItsCause)
{
    SimulatorProcess sim({QStringLiteral("--silent")});
    ASSERT_TRUE(sim.started());
    // Another program holding the port: here a second port object of this process.
    link::SerialPortDriver holder(link::PortNameMap::explicitDevices(sim.device(), {}));
    holder.connectPort();
    ASSERT_TRUE(holder.isConnected());

    link::SerialPortDriver port(link::PortNameMap::explicitDevices(missingDevice(), sim.device()));
    TransferSession session(port, m_buffer, m_received);
    session.setAnswerTimeout(kAnswerTimeoutMs);
    QSignalSpy done(&session, &TransferSession::finished);
    session.start();
    ASSERT_TRUE(done.wait(kWaitMs));
    EXPECT_EQ(done.at(0).at(1).toString(), TransferSession::notFoundMessage()) << "the message stays";
    const QStringList causes = session.failureCause().split(QLatin1Char('\n'));
    ASSERT_EQ(causes.size(), 2);
    EXPECT_TRUE(causes[0].startsWith(QStringLiteral("Порт COM1 (") + missingDevice())) << causes[0].toStdString();
    EXPECT_TRUE(causes[0].contains(QStringLiteral("такого устройства нет"))) << causes[0].toStdString();
    EXPECT_TRUE(causes[1].contains(QStringLiteral("занят другой программой"))) << causes[1].toStdString();
    EXPECT_EQ(port.failure(), link::PortFailure::Busy);

    // Once the other program lets go, nothing stands in the way.
    holder.disconnectPort();
    port.setPortName(link::com2PortName());
    port.connectPort();
    EXPECT_TRUE(port.isConnected());
    EXPECT_EQ(port.failure(), link::PortFailure::None);
    EXPECT_TRUE(port.failureText().isEmpty());
}

TEST_F(SerialTransfer, AnInstrumentThatGoesAwayEndsTheTransferWithTheCause)
{
    auto sim = std::make_unique<SimulatorProcess>(QStringList{QStringLiteral("--records"), QStringLiteral("100,100")});
    ASSERT_TRUE(sim->started());
    link::SerialPortDriver port(link::PortNameMap::explicitDevices(sim->device(), missingDevice()));
    TransferSession session(port, m_buffer, m_received);
    QSignalSpy status(&session, &TransferSession::statusChanged);
    QSignalSpy done(&session, &TransferSession::finished);
    session.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.size() >= 2; }, kWaitMs)) << "the memory phase began";
    sim.reset(); // the far end of the line closes, as when an adapter is pulled out
    ASSERT_TRUE(done.wait(kWaitMs)) << "the transfer does not wait for ever";
    EXPECT_EQ(done.at(0).at(0).value<Status>(), Status::PortLost);
    EXPECT_EQ(done.at(0).at(1).toString(), TransferSession::transferErrorMessage());
    EXPECT_TRUE(session.failureCause().contains(QStringLiteral("отключилось"))) << session.failureCause().toStdString();
    EXPECT_FALSE(port.isConnected());
}

TEST(PortFailureText, EachCauseSaysWhatToDo)
{
    using link::PortFailure;
    const QString device = QStringLiteral("/dev/ttyUSB0");
    struct Case
    {
        PortFailure failure;
        const char16_t* says;
    } const cases[] = {
        {PortFailure::NoSuchDevice, u"такого устройства нет"},
        {PortFailure::NoPermission, u"нет прав"},
        {PortFailure::Busy, u"занят другой программой"},
        {PortFailure::DeviceGone, u"отключилось во время передачи"},
        {PortFailure::Other, u"не открывается: сбой"},
    };
    for (const auto& c : cases) {
        const QString text = link::portFailureText(c.failure, link::com2PortName(), device, QStringLiteral("сбой"));
        EXPECT_TRUE(text.startsWith(QStringLiteral("Порт COM2 (/dev/ttyUSB0)"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf16(c.says))) << text.toStdString();
    }
#ifdef Q_OS_LINUX
    EXPECT_TRUE(link::portFailureText(PortFailure::NoPermission, device, device)
                    .contains(QStringLiteral("sudo usermod -aG dialout $USER")));
#endif
    EXPECT_TRUE(link::portFailureText(PortFailure::None, device, device).isEmpty());
}

TEST(SerialPortDriverTest, AMissingDeviceStaysClosedSilently)
{
    link::SerialPortDriver port(link::PortNameMap::explicitDevices(QStringLiteral("/nonexistent/tty"), {}));
    port.connectPort();
    EXPECT_FALSE(port.isConnected());
    EXPECT_EQ(port.failure(), link::PortFailure::NoSuchDevice);
    EXPECT_FALSE(port.sendChar('V'));
    port.disconnectPort();
    EXPECT_FALSE(port.isConnected());
}

TEST(SerialPortDriverTest, ThePortNameChangesOnlyWhileClosed)
{
    SimulatorProcess sim({QStringLiteral("--silent")});
    ASSERT_TRUE(sim.started());
    link::SerialPortDriver port(link::PortNameMap::explicitDevices(sim.device(), {}));
    port.setPortName(link::com1PortName());
    port.connectPort();
    ASSERT_TRUE(port.isConnected());
    port.setPortName(link::com2PortName());
    EXPECT_EQ(port.portName(), link::com1PortName());
    port.connectPort(); // no effect on an open port
    EXPECT_TRUE(port.isConnected());
    EXPECT_TRUE(port.sendChar('x'));
    port.disconnectPort();
    port.setPortName(link::com2PortName());
    EXPECT_EQ(port.portName(), link::com2PortName());
}

TEST(PortNames, EachNameMapsToADevice)
{
    const auto map = link::PortNameMap::explicitDevices(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(map.deviceFor(QStringLiteral(R"(\\.\COM1)")), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(map.deviceFor(QStringLiteral(R"(\\.\COM2)")), QStringLiteral("/dev/ttyS1"));
    EXPECT_EQ(map.deviceFor(QStringLiteral("/dev/pts/3")), QStringLiteral("/dev/pts/3"));

    qputenv("DARNI_COM1", "/dev/from-environment");
    const auto fromPlatform =
        link::PortNameMap::forThisPlatform(QStringLiteral("/dev/from-settings"), QStringLiteral("/dev/com2-setting"));
    qunsetenv("DARNI_COM1");
#ifndef Q_OS_WIN
    EXPECT_EQ(fromPlatform.deviceFor(link::com1PortName()), QStringLiteral("/dev/from-environment"));
    EXPECT_EQ(fromPlatform.deviceFor(link::com2PortName()), QStringLiteral("/dev/com2-setting"));
    EXPECT_EQ(link::PortNameMap::forThisPlatform().deviceFor(link::com2PortName()), QStringLiteral("/dev/ttyS1"));
#endif
}

} // namespace
