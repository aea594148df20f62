// Runs ornak-sim for a test.
#include "simulatorprocess.h"

#include <gtest/gtest.h>

namespace darni::testing {

namespace {
constexpr int kStartTimeoutMs = 10000;
const QByteArray kDevicePrefix = "ornak-sim: ";
} // namespace

SimulatorProcess::SimulatorProcess(const QStringList& arguments)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(DARNI_ORNAK_SIM), arguments);
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        ADD_FAILURE() << "ornak-sim did not start: " << m_process.errorString().toStdString();
        return;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kStartTimeoutMs)) {
            ADD_FAILURE() << "ornak-sim printed no device";
            return;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith(kDevicePrefix)) {
        ADD_FAILURE() << "unexpected first line from ornak-sim: " << line.toStdString();
        return;
    }
    m_device = QString::fromLocal8Bit(line.mid(kDevicePrefix.size()));
}

SimulatorProcess::~SimulatorProcess()
{
    m_process.terminate();
    if (!m_process.waitForFinished(kStartTimeoutMs))
        m_process.kill();
}

} // namespace darni::testing
