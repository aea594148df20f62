// An open table file held for writing, with positioned reads and writes. While it is held, other
// programs, and other openings in this one, may read the file but not open it for writing.
#pragma once

#include <QFile>
#include <QString>

#include <memory>

namespace darni::table {

class TableFile
{
public:
    // Throws TableError: NotFound, ReadOnly, Locked or Io.
    static TableFile openForWriting(const QString& path);

    TableFile() = default;
    TableFile(TableFile&&) noexcept = default;
    TableFile& operator=(TableFile&&) noexcept = default;
    ~TableFile() = default;

    bool isOpen() const { return m_file != nullptr; }
    const QString& path() const { return m_path; }
    qint64 size() const;

    // Both throw TableError(Io) unless every byte is transferred.
    void readAt(qint64 offset, char* data, qint64 length);
    void writeAt(qint64 offset, const char* data, qint64 length);
    // Waits until what was written is on the disk itself.
    void sync();
    // The bytes [offset, offset + size) mapped for reading, or nullptr where the platform will not
    // map them; valid until unmap() or close(). Writes through writeAt() show in the mapping.
    const char* map(qint64 offset, qint64 size);
    void unmap();
    // Appends [offset, offset + length) of this file to `out` where it is now written, letting the
    // system copy the bytes without passing them through this program. False, with nothing copied,
    // where the platform offers no such copy; the caller then copies the bytes itself.
    bool copyTo(QFile& out, qint64 offset, qint64 length);
    void close();

private:
    explicit TableFile(std::unique_ptr<QFile> file, const QString& path);
    [[noreturn]] void fail(const QString& what) const;

    std::unique_ptr<QFile> m_file;
    QString m_path;
    uchar* m_mapped = nullptr;
};

// The file's bytes reach the disk before this returns; false when the platform says they did not.
bool syncToDisk(QFile& file);

} // namespace darni::table
