// The table as it was before the last command that changed it.
#include "undocopy.h"

#include "files/atomicfile.h"
#include "files/fileerror.h"
#include "files/setasidefile.h"
#include "table/recordstore.h"
#include "table/tableerror.h"
#include "table/tablepaths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <map>
#include <vector>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace darni::workspace::undo {

namespace {
const QString kCopySuffix = QStringLiteral(".undo");
const QString kStateSuffix = QStringLiteral(".state");
constexpr qint64 kCopyChunk = 1 << 20;
// The recorded state's first line names the format, so that a file of another kind is never taken for one.
const QByteArray kStateMagic = "darni-undo-state 1";
// The fingerprint covers the header (whose count and date every write of rows changes) and the end of
// the file, where appended rows go: together with the size and the time of the last change it tells a
// table that anything wrote to since.
constexpr qint64 kFingerprintHeader = 32;
constexpr qint64 kFingerprintTail = 64 * 1024;

files::UserError notTaken(const files::UserError& cause)
{
    return files::UserError(QStringLiteral("Копия таблицы для отмены не сделана, команда не выполнена: ") +
                            cause.message());
}

QString statePathFor(const QString& tablePath)
{
    return copyPathFor(tablePath) + kStateSuffix;
}

using State = std::map<QByteArray, QByteArray>;

QByteArray fingerprintOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(file.read(kFingerprintHeader));
    const qint64 size = file.size();
    if (size > kFingerprintHeader) {
        file.seek(std::max(kFingerprintHeader, size - kFingerprintTail));
        hash.addData(file.readAll());
    }
    return hash.result().toHex();
}

// The table file as it stands: what any write to it, or a new file under its name, changes.
State stateOf(const QString& tablePath, const QString& copyPath)
{
    State state;
    const QString table = files::resolvedPath(tablePath);
    const QFileInfo info(table);
    state["table-size"] = QByteArray::number(info.size());
    std::error_code error;
    const auto changed = std::filesystem::last_write_time(std::filesystem::path(table.toStdU16String()), error);
    state["table-changed"] =
        error ? QByteArray() : QByteArray::number(static_cast<qint64>(changed.time_since_epoch().count()));
#ifndef Q_OS_WIN
    struct stat s
    {
    };
    if (::stat(QFile::encodeName(table).constData(), &s) == 0)
        state["table-file"] = QByteArray::number(static_cast<qulonglong>(s.st_dev)) + ':' +
                              QByteArray::number(static_cast<qulonglong>(s.st_ino));
#endif
    state["table-fingerprint"] = fingerprintOf(table);
    state["copy-size"] = QByteArray::number(QFileInfo(copyPath).size());
    return state;
}

QByteArray serialized(const State& state)
{
    QByteArray bytes = kStateMagic + '\n';
    for (const auto& [key, value] : state)
        bytes += key + ' ' + value + '\n';
    return bytes;
}

std::optional<State> recordedState(const QString& tablePath)
{
    QFile file(statePathFor(tablePath));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || lines.first() != kStateMagic)
        return std::nullopt;
    State state;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype space = lines[i].indexOf(' ');
        if (space > 0)
            state[lines[i].left(space)] = lines[i].mid(space + 1);
    }
    return state;
}

// Whether the copy is a whole table of this program: it opens, and holds every row its header counts.
bool isWholeTable(const QString& copyPath)
{
    table::RecordStore store;
    try {
        store.open(copyPath, table::RecordStore::Access::ReadOnly);
    } catch (const table::TableError&) {
        return false;
    }
    const qint64 rowsEnd =
        store.header().headerLength() + static_cast<qint64>(store.header().recordCount()) * store.recordLength();
    return store.slotCount() == store.header().recordCount() && QFileInfo(copyPath).size() >= rowsEnd;
}

// A second name for the table's file, put in the copy's place; false where the file system has no
// hard links (FAT and exFAT media) or refuses one. Windows keeps to the copy: a file there cannot be
// renamed over while another name of it is open.
bool linkInPlaceOfCopy(const QString& tablePath, const QString& copyPath)
{
#ifdef Q_OS_WIN
    Q_UNUSED(tablePath);
    Q_UNUSED(copyPath);
    return false;
#else
    QString name;
    {
        // A fresh name of the temporaries' pattern, so that a crash before the rename leaves nothing a
        // later opening would not clear.
        files::Temporary fresh = files::createTemporaryBeside(copyPath);
        name = fresh.path;
        fresh.file->close();
        QFile::remove(name);
    }
    std::error_code error;
    std::filesystem::create_hard_link(std::filesystem::path(files::resolvedPath(tablePath).toStdU16String()),
                                      std::filesystem::path(name.toStdU16String()), error);
    if (error)
        return false;
    try {
        files::replaceFile(name, copyPath);
    } catch (...) {
        QFile::remove(name);
        throw;
    }
    return true;
#endif
}
} // namespace

QString copyPathFor(const QString& tablePath)
{
    // Beside the file itself, also for a table reached through a link: the copy is put back by a rename.
    return files::resolvedPath(tablePath) + kCopySuffix;
}

bool hasCopy(const QString& tablePath)
{
    return QFile::exists(copyPathFor(tablePath));
}

void takeCopy(const QString& tablePath, Change change)
{
    const QString copyPath = copyPathFor(tablePath);
    try {
        files::removeAbandonedTemporaries(copyPath);
        QFile::remove(statePathFor(tablePath));
        if (change == Change::Replacement && linkInPlaceOfCopy(tablePath, copyPath))
            return;
        QFile source(tablePath);
        if (!source.open(QIODevice::ReadOnly))
            throw files::FileError::fromSystem(QStringLiteral("Не удалось прочитать таблицу"), tablePath, errno);
        files::AtomicFile copy(copyPath);
        std::vector<char> chunk(static_cast<std::size_t>(kCopyChunk));
        for (;;) {
            const qint64 n = source.read(chunk.data(), kCopyChunk);
            if (n < 0)
                throw files::FileError::fromSystem(QStringLiteral("Не удалось прочитать таблицу"), tablePath, errno);
            if (n == 0)
                break;
            copy.write(chunk.data(), n);
        }
        copy.commit();
    } catch (const files::UserError& e) {
        throw notTaken(e);
    }
}

void recordState(const QString& tablePath)
{
    const QString copyPath = copyPathFor(tablePath);
    if (!QFile::exists(copyPath))
        return;
    try {
        files::AtomicFile state(statePathFor(tablePath));
        state.write(serialized(stateOf(tablePath, copyPath)));
        state.commit();
    } catch (const files::UserError&) {
        discardCopy(tablePath);
        throw;
    }
}

std::optional<QString> copyProblem(const QString& tablePath)
{
    const QString copyPath = copyPathFor(tablePath);
    if (!QFile::exists(copyPath))
        return nothingToUndoMessage();
    const auto recorded = recordedState(tablePath);
    if (!recorded) {
        return QStringLiteral("Отменить нельзя: неизвестно, после какой команды сделана копия %1.").arg(copyPath);
    }
    const State now = stateOf(tablePath, copyPath);
    if (recorded->count("copy-size") == 0 || recorded->at("copy-size") != now.at("copy-size") ||
        !isWholeTable(copyPath)) {
        return QStringLiteral("Отменить нельзя: копия %1 неполна или не является таблицей.").arg(copyPath);
    }
    for (const auto& [key, value] : now) {
        const auto it = recorded->find(key);
        if (it == recorded->end() || it->second != value) {
            return QStringLiteral("Отменить нельзя: таблица %1 изменилась после команды, до которой сделана копия.")
                .arg(tablePath);
        }
    }
    return std::nullopt;
}

void restoreCopy(const QString& tablePath, Check check)
{
    const QString copyPath = copyPathFor(tablePath);
    if (!QFile::exists(copyPath))
        throw files::UserError(nothingToUndoMessage());
    if (check == Check::Recorded) {
        if (const auto problem = copyProblem(tablePath)) {
            discardCopy(tablePath);
            throw files::UserError(*problem + QStringLiteral(" Копия удалена."));
        }
    }
    // The index describes the rows being replaced: it goes first, and comes back if the copy cannot
    // take the table's place.
    files::SetAsideFile index;
    index.setAside(table::indexFilePath(tablePath));
    files::replaceFile(copyPath, tablePath);
    index.drop();
    QFile::remove(statePathFor(tablePath));
}

void removeAbandoned(const QString& tablePath)
{
    files::removeAbandonedTemporaries(copyPathFor(tablePath));
    files::removeAbandonedTemporaries(statePathFor(tablePath));
}

void discardCopy(const QString& tablePath)
{
    QFile::remove(copyPathFor(tablePath));
    QFile::remove(statePathFor(tablePath));
}

EarlierCopy::EarlierCopy(const QString& tablePath)
{
    try {
        m_copy.setAside(copyPathFor(tablePath));
        m_state.setAside(statePathFor(tablePath));
    } catch (const files::UserError& e) {
        throw notTaken(e);
    }
}

void EarlierCopy::drop()
{
    m_copy.drop();
    m_state.drop();
}

QString nothingToUndoMessage()
{
    return QStringLiteral("Нечего отменять: копии таблицы до последней команды нет.");
}

} // namespace darni::workspace::undo
