// Keeps every good transfer beside its table, on a worker thread, so that the window goes on at once
// and a slow or failing disk never holds up the table that was just written.
#pragma once

#include "transfer/transfer.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>

#include <list>
#include <memory>

namespace darni::app {

class TransferKeeper : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~TransferKeeper() override; // waits for the saves under way

    // Starts keeping the transfer received for `tablePath` (transfer::archiveTransfer).
    void keep(const QString& tablePath, const transfer::Transfer& received);
    // Returns once every save started has ended and been told.
    void waitForAll();

Q_SIGNALS:
    void kept(const QString& path);
    // `message` says, in Russian, that and why the transfer was not kept; the table is not touched.
    void failed(const QString& message);

private:
    struct Outcome
    {
        QString path;
        QString failure;
    };
    void finished(QFutureWatcher<Outcome>* watcher);

    std::list<std::unique_ptr<QFutureWatcher<Outcome>>> m_running;
};

} // namespace darni::app
