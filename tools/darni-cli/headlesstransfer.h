// Runs one transfer from the instrument without a window, telling its progress on stderr.
#pragma once

#include "link/transferjob.h"
#include "link/transfersession.h"
#include "transfer/transfer.h"

#include <QString>

namespace darni::cli {

struct TransferOutcome
{
    link::TransferSession::Status status = link::TransferSession::Status::Cancelled;
    bool ok() const { return status == link::TransferSession::Status::Done; }
    QString message; // empty when ok
    QString cause;   // why the ports could not be used, when that is known
};

class HeadlessTransfer
{
public:
    // The instrument is looked for on the program's COM1 then COM2, with the devices chosen for them in
    // "Порт прибора…", or on `port` alone when given.
    explicit HeadlessTransfer(const QString& port);

    TransferOutcome run();

    const transfer::Transfer& received() const { return m_job.received(); }

private:
    link::TransferJob m_job;
};

} // namespace darni::cli
