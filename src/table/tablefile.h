// An open table file with positioned reads and writes. Opened for writing, it holds the writer's lock:
// other programs, and other openings in this one, may read the file but not open it for writing.
// Opened for reading, it takes no lock and never writes. A replacement is a new file made beside a
// table under a temporary name, which takes the table's name in one step when it is committed.
#pragma once

#include "files/atomicfile.h"

#include <QFile>
#include <QString>

#include <memory>
#include <utility>

namespace darni::table {

class TableFile
{
public:
    enum class Access { ReadWrite, ReadOnly };

    // Throws TableError: NotFound, NotAFile, NoPermission, ReadOnly, Locked or Io.
    static TableFile open(const QString& path, Access access);
    // Throws TableError unless `path` may be replaced by a new table now (absent, or a writable file
    // that no other writer holds).
    static void checkReplaceable(const QString& path);
    // A new empty file that will take `target`'s name on commitReplacement(). An existing target is
    // held locked meanwhile, so that no other writer opens it and loses its rows to the replacement;
    // `held` is the caller's own opening of it when the caller holds the lock already.
    static TableFile createReplacement(const QString& target, const TableFile* held = nullptr);

    TableFile() = default;
    TableFile(TableFile&&) noexcept = default;
    TableFile& operator=(TableFile&&) noexcept;
    ~TableFile();

    bool isOpen() const { return m_file != nullptr; }
    bool isWritable() const { return m_access == Access::ReadWrite; }
    bool isReplacement() const { return !m_target.isEmpty(); }
    // The table's name: for a replacement, the name it will take.
    const QString& path() const { return isReplacement() ? m_target : m_path; }
    qint64 size() const;

    // Both throw TableError unless every byte is transferred; writing names the cause (a full disk).
    void readAt(qint64 offset, char* data, qint64 length);
    void writeAt(qint64 offset, const char* data, qint64 length);
    // The same read for readers that must not fail loudly (a grid painting): false when the bytes
    // could not all be read.
    bool tryReadAt(qint64 offset, char* data, qint64 length) const noexcept;
    // Cuts the file to `length` bytes; throws TableError.
    void truncate(qint64 length);
    // Waits until what was written is on the disk itself.
    void sync();
    // Syncs a replacement and renames it over its target; the file keeps its lock and is the table's
    // file from then on. Throws TableError; the target is then unchanged.
    void commitReplacement();
    // The bytes [offset, offset + size) mapped for reading, or nullptr where the platform will not
    // map them; valid until unmap() or close(). Writes through writeAt() show in the mapping.
    const char* map(qint64 offset, qint64 size);
    void unmap();
    // Releases the file; an uncommitted replacement is removed.
    void close();

private:
    [[noreturn]] void fail(const QString& what, int systemError) const;

    std::unique_ptr<files::CheckedFile> m_file;
    std::unique_ptr<files::CheckedFile> m_heldTarget; // the table a replacement will replace, locked
    QString m_path;                                   // where the file is now
    QString m_target;                                 // a replacement's future name; empty otherwise
    Access m_access = Access::ReadOnly;
    uchar* m_mapped = nullptr;
};

} // namespace darni::table
