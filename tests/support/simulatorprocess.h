// Runs ornak-sim on a pseudo-terminal for a test and stops it afterwards.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace darni::testing {

class SimulatorProcess
{
public:
    // Starts the simulator with these arguments and waits for its device; fails the test otherwise.
    explicit SimulatorProcess(const QStringList& arguments);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    const QString& device() const { return m_device; }
    bool started() const { return !m_device.isEmpty(); }

private:
    QProcess m_process;
    QString m_device;
};

} // namespace darni::testing
