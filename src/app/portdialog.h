// "Порт прибора": the serial ports the computer has (refreshed while the window is open, so that a
// plugged-in adapter shows up), the choice of device for COM1 and COM2, and "Проверить", which asks
// the instrument on a port for its device information.
#pragma once

#include "link/portcatalog.h"
#include "link/transferjob.h"
#include "link/transfersession.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace darni::app {

class SettingsStore;

class PortDialog : public QDialog
{
    Q_OBJECT
public:
    using PortLister = std::function<std::vector<link::SerialPortDescription>()>;

    // `listPorts` is the system's list unless a test gives another. OK stores the choice in `settings`.
    explicit PortDialog(SettingsStore& settings, QWidget* parent = nullptr,
                        PortLister listPorts = link::systemSerialPorts);
    ~PortDialog() override;

    // Tests shorten the wait for the instrument; users cannot.
    void setAnswerTimeout(int milliseconds) { m_answerTimeoutMs = milliseconds; }
    // The device "Проверить" asks: the one a transfer will use for COM1 (DARNI_COM1 when set, else the
    // device chosen or typed here, else the platform's own).
    QString deviceToCheck() const;
    // The device of the port marked in the list, which "Проверить отмеченный" asks; empty when none is.
    QString markedDevice() const;
    // Looks at the system's ports again; the list changes only when they did.
    void refreshPorts();
    void checkPort();
    void checkMarkedPort();
    // The devices chosen for COM1 and COM2; empty for the platform's own.
    QString chosenCom1() const;
    QString chosenCom2() const;

    void accept() override;

Q_SIGNALS:
    // "Проверить" has its answer in the result line.
    void checkFinished();

private:
    QComboBox* makeChoice(const QString& objectName, const QString& portName, const QString& stored);
    void fillChoices();
    void check(const QString& device);
    void showCheckResult(link::TransferSession::Status status, const QString& message);
    void updateCheckButtons();

    SettingsStore& m_settings;
    PortLister m_listPorts;
    std::vector<link::SerialPortDescription> m_ports;
    QTreeWidget* m_list;
    QComboBox* m_com1;
    QComboBox* m_com2;
    QPushButton* m_check;
    QPushButton* m_checkMarked;
    QLabel* m_result;
    QTimer m_refresh;
    int m_answerTimeoutMs = link::TransferSession::kAnswerTimeoutMs;

    // The check's own line to the instrument, made for each check.
    std::unique_ptr<link::TransferJob> m_checkJob;
    QString m_checkedDevice;
    QString m_deviceInfo;
};

} // namespace darni::app
