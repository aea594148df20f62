// "Прием данных": the modal window in which one transfer from the instrument runs, with its status
// line, progress bar, the instrument's details and "Отмена".
#pragma once

#include "userdialogs.h"

#include "link/transfersession.h"

#include <QDialog>

class QLabel;
class QProgressBar;

namespace darni::app {

class TransferDialog : public QDialog
{
    Q_OBJECT
public:
    // The session's buffers and port belong to the caller and outlive the dialog.
    TransferDialog(link::TransferSession& session, UserDialogs& dialogs, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void finish(link::TransferSession::Status status, const QString& message, const QString& caption);

    link::TransferSession& m_session;
    UserDialogs& m_dialogs;
    QLabel* m_status;
    QProgressBar* m_progress;
    QLabel* m_deviceName;
    QLabel* m_firmware;
    QLabel* m_counters;
    bool m_started = false;
};

} // namespace darni::app
