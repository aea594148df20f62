// Writing a user's file all-or-nothing: the new contents go into a temporary file beside the target,
// which is synced and renamed over the target in one step, so the target's name always holds the old
// file or the whole new one. Temporary files are named "<target's name>.darni-<6 characters>.tmp" and
// locked while their writer lives, so that a later run can tell an abandoned one and remove it.
//
// The same module gives every writer of tables its lock: an opening for writing holds an exclusive
// lock that other writers of this program respect (on Windows the system's share modes do it).
#pragma once

#include <QFile>
#include <QString>

#include <memory>

namespace darni::files {

// A file that remembers the system's error number of its first failed write, so that the failure can
// be named by its cause rather than by the system's English text.
class CheckedFile : public QFile
{
public:
    using QFile::QFile;
    int firstWriteError() const { return m_writeError; }

protected:
    qint64 writeData(const char* data, qint64 length) override;

private:
    int m_writeError = 0;
};

// The file that a write to `path` must replace: the last target of a symbolic link (so that a link to
// a table in another folder keeps pointing at the new table), else `path` itself.
QString resolvedPath(const QString& path);

// Opens an existing regular file for reading and writing and takes the writer's lock. Throws FileError:
// NotFound, NotAFile, NoPermission, ReadOnly, Locked or Other.
std::unique_ptr<CheckedFile> openLocked(const QString& path);

// Throws FileError unless a file at `path` could be replaced now: absent, or a regular file that may be
// written and that no other writer holds. A folder that cannot take a new file is refused as well.
void checkReplaceable(const QString& path);

struct Temporary
{
    std::unique_ptr<CheckedFile> file; // open for reading and writing, locked
    QString path;
};
// A new, empty temporary file beside `target` (beside a link's target), locked. Throws FileError naming
// why the folder refuses it: no such folder, a read-only file system, no permission to write there.
Temporary createTemporaryBeside(const QString& target);
// Whether `candidate` is named as a temporary file of `target`.
bool isTemporaryOf(const QString& target, const QString& candidate);
// Opens a file that is to carry a temporary name of ours and locks it, so that
// removeAbandonedTemporaries() leaves it alone while the returned file stays open (the lock follows
// the file through a rename); nothing when it cannot be opened.
std::unique_ptr<QFile> holdTemporary(const QString& path);
// Removes the temporary files of `target` that no running writer holds; what cannot be removed stays.
void removeAbandonedTemporaries(const QString& target);

// The file's bytes are on the disk itself when this returns; throws FileError.
void syncToDisk(CheckedFile& file, const QString& what);
// Renames `temporary` over `target` (over a link's target) in one step and makes the rename durable.
// Throws FileError.
void replaceFile(const QString& temporary, const QString& target);

// What a committed file promises: whole whenever it is read, and on the disk itself (it survives a
// power cut), or only whole whenever it is read (a file rebuilt on demand, which a power cut may
// take, but never leaves half written).
enum class Durability { OnDisk, WholeWhenRead };

// A whole new file for `target`, made visible only by commit().
class AtomicFile
{
public:
    explicit AtomicFile(const QString& target, Durability durability = Durability::OnDisk); // throws FileError
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // removes the temporary file unless committed

    // Where the contents go; anything that writes to a QIODevice may write here.
    QIODevice& device() { return *m_temporary.file; }
    const QString& target() const { return m_target; }
    // Where the contents go, for a writer that opens the file by its name itself (a library); what it
    // writes there is synced and put in place by commit() as any other contents.
    const QString& temporaryPath() const { return m_temporary.path; }
    // Throws FileError when not every byte is taken.
    void write(const char* data, qint64 length);
    void write(const QByteArray& bytes) { write(bytes.constData(), bytes.size()); }
    // Checks that every write reached the file, syncs it (when it is to be on the disk) and puts it in
    // the target's place. Throws FileError; the target is then as it was.
    void commit();
    void discard();

private:
    [[noreturn]] void fail();

    QString m_target;
    Durability m_durability;
    Temporary m_temporary;
    bool m_done = false;
};

} // namespace darni::files
