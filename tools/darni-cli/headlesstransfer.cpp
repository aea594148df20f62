// Runs one transfer from the instrument without a window.
#include "headlesstransfer.h"

#include "files/usersettings.h"
#include "link/portchoice.h"
#include "link/transferjob.h"

#include <QEventLoop>
#include <QTextStream>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace darni::cli {

namespace {
constexpr int kPercent = 100;

bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}
} // namespace

HeadlessTransfer::HeadlessTransfer(const QString& port)
    : m_job(port.isEmpty() ? link::chosenPortNames(*files::openUserSettings())
                           : link::PortNameMap::explicitDevices(port, port))
{
}

TransferOutcome HeadlessTransfer::run()
{
    link::TransferSession& session = m_job.session();
    // The connections below capture this run's locals: they end with it.
    const QObject thisRun;
    QTextStream err(stderr);
    TransferOutcome outcome;
    QEventLoop loop;
    qint64 expected = 0;
    int lastPercent = -1;

    QObject::connect(&session, &link::TransferSession::statusChanged, &thisRun, [&](const QString& status) {
        if (lastPercent >= 0)
            err << '\n';
        err << status << Qt::endl;
        lastPercent = -1;
    });
    QObject::connect(&session, &link::TransferSession::deviceInfoChanged, &thisRun,
                     [&](const QString& name, const QString& firmware, const QString& counters) {
                         if (name.isEmpty())
                             return;
                         err << "Тип прибора: " << name << "  Версия ПО: " << firmware
                             << "  Количество записей:" << counters << Qt::endl;
                     });
    QObject::connect(&session, &link::TransferSession::expectedLengthKnown, &thisRun,
                     [&](int total) { expected = total; });
    // The percentage rewrites its own line: only a terminal shows that as progress, a file or a pipe
    // would collect a hundred lines of it.
    const bool terminal = standardErrorIsTerminal();
    QObject::connect(&session, &link::TransferSession::progressChanged, &thisRun, [&](int position) {
        if (!terminal || expected <= 0 || position <= 0)
            return;
        const int percent = static_cast<int>(std::min<qint64>(kPercent, position * kPercent / expected));
        if (percent != lastPercent) {
            err << '\r' << percent << " %" << Qt::flush;
            lastPercent = percent;
        }
    });
    QObject::connect(&m_job, &link::TransferJob::finished, &thisRun,
                     [&](link::TransferSession::Status status, const QString& message) {
                         if (lastPercent >= 0)
                             err << '\n';
                         outcome.status = status;
                         outcome.message = message;
                         outcome.cause = m_job.failureCause();
                         loop.quit();
                     });
    m_job.start();
    loop.exec();
    return outcome;
}

} // namespace darni::cli
