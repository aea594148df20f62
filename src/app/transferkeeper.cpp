// Keeps every good transfer beside its table, on a worker thread.
#include "transferkeeper.h"

#include "files/usererror.h"
#include "transfer/transferfile.h"

#include <QDateTime>
#include <QtConcurrent>

namespace darni::app {

TransferKeeper::~TransferKeeper()
{
    for (const auto& watcher : m_running)
        watcher->waitForFinished();
}

void TransferKeeper::keep(const QString& tablePath, const transfer::Transfer& received)
{
    // Encoded here, at the size received, so the worker holds no copy of the whole memory buffer.
    const QByteArray encoded = transfer::encodeSavedTransfer(received);
    const QDateTime when = QDateTime::currentDateTime();
    auto watcher = std::make_unique<QFutureWatcher<Outcome>>();
    QFutureWatcher<Outcome>* raw = watcher.get();
    connect(raw, &QFutureWatcherBase::finished, this, [this, raw] { finished(raw); });
    m_running.push_back(std::move(watcher));
    raw->setFuture(QtConcurrent::run([tablePath, encoded, when]() -> Outcome {
        try {
            return {transfer::archiveTransfer(tablePath, encoded, when), {}};
        } catch (const files::UserError& e) {
            return {{}, e.message()};
        }
    }));
}

void TransferKeeper::waitForAll()
{
    while (!m_running.empty()) {
        m_running.front()->waitForFinished();
        finished(m_running.front().get());
    }
}

void TransferKeeper::finished(QFutureWatcher<Outcome>* watcher)
{
    const auto it = std::find_if(m_running.begin(), m_running.end(),
                                 [watcher](const auto& running) { return running.get() == watcher; });
    if (it == m_running.end())
        return; // told already
    const Outcome outcome = watcher->result();
    // Let go after the signal that called this has returned.
    it->release()->deleteLater();
    m_running.erase(it);
    if (outcome.failure.isEmpty()) {
        Q_EMIT kept(outcome.path);
        return;
    }
    Q_EMIT failed(transfer::archiveFailureMessage(outcome.failure));
}

} // namespace darni::app
