// The one open table of the program and its state: whether a table is open, whether an edit was begun
// since it was last opened, created or saved, the device type of the data in hand, and the file
// commands' core steps (create, open, save, close, the choice of the page that shows the table).
// Questions and messages belong to the caller; this class shows nothing.
#pragma once

#include "dbftable.h"
#include "recordkind.h"
#include "tableerror.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace darni::table {

class TableDocument
{
public:
    // The page that shows a table is named by the kind of rows it shows.
    using Page = RecordKind;

    static QString damagedMessage(); // "База данных повреждена !"
    static QString errorCaption();   // "Ошибка"

    bool isOpen() const { return m_isOpen; }
    bool isModified() const { return m_isModified; }
    // An edit of a row was begun.
    void markModified() { m_isModified = true; }
    // Rows were deleted and the table packed: the file holds everything.
    void markSaved() { m_isModified = false; }
    std::uint8_t deviceType() const { return m_deviceType; }
    // The transfer tells the device type as soon as it has the instrument's header.
    void setDeviceType(std::uint8_t type) { m_deviceType = type; }
    // An opened table tells it by the first row of the page in view (0 when blank or no row).
    void readDeviceTypeFromPage();
    DbfTable& table() { return m_table; }
    const DbfTable& table() const { return m_table; }
    QString path() const { return m_path; }

    // Creates the table (replacing one of that name), lets `fill` add the rows and puts it in place
    // whole: until then an earlier table of that name stays as it was. Throws TableError when the
    // table cannot be made or written, or what `fill` throws; no table is open then and the earlier
    // file is untouched.
    void create(const QString& path, const std::function<void(DbfTable&)>& fill);
    // False when the file cannot be opened as a table (failureMessage() tells why); no table is open
    // then. The device type becomes the first shown row's DEV_TYPE. A table opened only for reading
    // is never written, not even its header.
    bool open(const QString& path, DbfTable::Access access = DbfTable::Access::ReadWrite);
    // Why the last open failed, in the user's words: damagedMessage() for a file that is not a sound
    // table, else the cause (missing, a folder, no permission, held by another program, a table of
    // other fields).
    const QString& failureMessage() const { return m_failure; }
    // The last open failed only because the table may not be written now (held by another program,
    // read-only): it can still be opened for reading.
    bool failedOnlyForWriting() const { return m_failedOnlyForWriting; }
    // The open table is open only for reading: nothing may change it.
    bool isReadOnly() const { return m_isOpen && !m_table.isWritable(); }
    static QString openFailureMessage(const TableError& error);
    // Closes and reopens the table so that everything is on disk, keeping the filter and the active
    // sort tag, the cursor on the first row. Throws TableError if reopening fails; the table is then
    // closed.
    void save();
    // Saves first when asked to, closes the table and deletes its index file. An edit still in
    // progress is dropped when not saving.
    void close(bool saveFirst);
    // Closes the table as it is (a row being edited posted) and leaves its index file beside it.
    void closeKeepingIndex();
    // After appending rows: everything to disk as save() does.
    void appended();

    // Deletes the rows in these slots (any order; slots no longer live are passed over): a copy of the
    // table without them replaces it in one step, and the table is reopened in file order on the first
    // row of the page. The file then holds everything, pending edits included, so the table counts as
    // saved. Nothing to delete changes nothing.
    void deleteRows(const std::vector<std::uint32_t>& slots);
    // Numbers the rows of the page 1, 2, … in the order they show, through a copy of the table that
    // replaces it in one step, and reopens the table keeping the order. The rows are fixed before the
    // first number is written, so a page sorted by the number itself still gets every row numbered
    // exactly once. A caller that already holds the page's slots in the order it shows them passes
    // them; else the page is walked for them.
    void renumberRows(std::span<const std::uint32_t> pageOrder = {});

    // The page that shows the table: the pull-off page when at least one row has NB_TYPE 1, else
    // the ultrasonic page. Sets the page's filter. Nothing when no table is open.
    std::optional<Page> choosePage();

private:
    void reopen();

    DbfTable m_table;
    QString m_path;
    QString m_failure;
    bool m_failedOnlyForWriting = false;
    DbfTable::Access m_access = DbfTable::Access::ReadWrite;
    bool m_isOpen = false;
    bool m_isModified = false;
    std::uint8_t m_deviceType = 0;
};

} // namespace darni::table
