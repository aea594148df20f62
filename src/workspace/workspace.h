// Everything a user can do to the measurement tables, without a window: the open table, the page in
// view with its whole-page figures, the device type of the data in hand, and every command (create
// from a transfer, append, open, save, close, delete rows, renumber, edit a field, sort, export,
// report, statistics of marked rows). The window and darni-cli are front ends over this one class:
// they ask the user, call a command and show the state it left, which is always a whole one (a table
// open on a chosen page with figures that belong to it, or no table at all).
//
// Commands report failures the user must read as files::UserError (TableError, FileError, XlsError).
#pragma once

#include "decode/transferdecoding.h"
#include "output/report/pagecomposer.h"
#include "rowchoiceerror.h"
#include "table/dbftable.h"
#include "table/numbertext.h"
#include "table/recordkind.h"
#include "table/recordview.h"
#include "table/tablestatistics.h"
#include "transfer/transfer.h"
#include "transfer/transferfile.h"
#include "undocopy.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace darni::workspace {

// What darni-cli's "info" tells of a table.
struct TableSummary
{
    int ultrasonic = 0; // rows of each kind in the whole table
    int pullOff = 0;
    int other = 0;
    int pageRows = 0; // rows of the page in view
    QString earliest; // "DD.MM.YYYY HH:MM:SS" of the page's first and last measurement; empty when none
    QString latest;
};

// Whether a transfer that a table could not take is kept in a file beside it (a transfer just received)
// or not (one read from such a file).
enum class KeepTransfer { Yes, No };

// The order a page's rows show in, as its column title marks it.
struct SortMark
{
    table::Field field;
    bool descending;
};

class Workspace
{
public:
    using Page = table::RecordKind;

    Workspace() = default;
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // ---- state ----
    bool isOpen() const { return m_table.isOpen(); }
    // The open table is open only for reading: nothing may change it.
    bool isReadOnly() const { return isOpen() && !m_table.isWritable(); }
    // An edit of a row was begun since the table was last opened, created or saved.
    bool isModified() const { return m_modified; }
    QString path() const { return m_path; }
    // The page that shows the open table; nothing with no table open.
    std::optional<Page> page() const { return isOpen() ? std::optional<Page>(m_page) : std::nullopt; }
    // "find_mma" of the page in view, as the footers show it without marked rows; worked out when first
    // asked for after a change, so that a command that shows no figures never reads them.
    const table::TableStatistics& statistics();
    // The device type of the data in hand: the instrument's after a transfer that heard it, else the
    // first row's of the page in view when a table was opened.
    std::uint8_t deviceType() const { return m_deviceType; }
    // The page's order, made by sortBy(); nothing while its rows are in file order. A command that puts
    // the rows back in file order (append, delete, export, opening, undo, resetSorting) takes the mark
    // with it, so a front end shows it as told rather than guessing which commands did.
    std::optional<SortMark> sortMark(Page page) const;
    // The page's rows at these places (1, 2, … in the order the page shows), each once, in slot order.
    // Throws RowChoiceError (NoSuchPosition) naming the first place that is not on the page.
    std::vector<std::uint32_t> rowsAtPositions(std::span<const double> positions);
    // The page's rows whose N is one of these, in slot order. Throws RowChoiceError: NoSuchNumber for a
    // number on no row; NumberOnSeveralRows for one on several rows, naming their places, unless all
    // of them are meant.
    std::vector<std::uint32_t> rowsNumbered(std::span<const double> numbers, bool allMatching);
    // A reader's own view of the page in view (empty with no table open), in its current order.
    table::RecordView pageRows();
    // An editor was opened on a cell: the table counts as changed from now on.
    void markModified() { m_modified = true; }
    // An editor is about to open on a cell. Before the first edit since the table was opened, saved or
    // changed by a command, the table as it stands is kept (for undo and for "Нет" to saving); the table
    // counts as changed from then on. Why no editor may open, in Russian, when the table cannot be kept.
    std::optional<QString> beginEditing();
    // Whether there is a command (delete rows, renumber, append, edits) that undo() can take back.
    bool canUndo() const { return isOpen() && !isReadOnly() && m_undo != UndoState::Nothing; }

    // ---- commands ----
    // Throws UserError unless a new table could replace `path` now; asked before the instrument.
    static void checkCreatable(const QString& path);
    // Closes the open table, then makes `path` from the transfer; returns the rows made. An earlier
    // table of that name becomes the undo copy (canUndo() then tells). On failure (UserError) no table
    // is open, an earlier table of that name is as it was, and the message says where the transfer was
    // kept when asked to keep it.
    int createFromTransfer(const QString& path, const transfer::Transfer& transfer, KeepTransfer keep);
    // Opens a table for reading and writing, or, when only writing is barred (another program holds it,
    // it is read-only), for reading. False when it cannot be read at all; openFailure() says why.
    bool open(const QString& path);
    // Why the open table could only be opened for reading (a protected file, another program holding
    // it), in the user's words; empty when it is open for writing.
    const QString& readOnlyReason() const { return m_readOnlyReason; }
    // Opens a table only for reading: nothing is written, not even its header.
    bool openForReading(const QString& path);
    // Opens a table for reading and writing, or not at all.
    bool openForWriting(const QString& path);
    // Why the last open failed, in the user's words ("База данных повреждена !" for a damaged file).
    const QString& openFailure() const { return m_openFailure; }
    static QString openFailureCaption(); // "Ошибка"
    // Adds the transfer's records newer than the stored ones; returns the messages to show. The sort
    // orders go first, as the rows are compared in file order. On failure (UserError) the message says
    // where the transfer was kept when asked to keep it, and isOpen() tells whether the table still is.
    QStringList append(const transfer::Transfer& transfer, KeepTransfer keep);
    // Writes what is pending; on a failed reopen no table is open.
    void save();
    // Closes the table (saving first when asked); its index file goes with it.
    void close(bool saveFirst);
    // Closes the table and leaves its index file and the copy that undo() puts back, for darni-cli,
    // whose sort order and "undo" outlive it; the copy is tied to the table as the command left it.
    // Why the copy could not be kept, when it could not (the command itself stands).
    std::optional<QString> closeKeepingIndex();
    // Gives up the undo copy of this opening (the program ends with the table still open).
    void discardUndo();
    // Closes the table without its unsaved edits: the file is as it was at the last open, save or command.
    void closeDiscardingEdits();
    // Puts the table back as it was before the last command that changed it (delete rows, renumber,
    // append, or the edits since the table was last opened, saved or changed by a command) and opens it
    // again; there is nothing more to take back then. Throws UserError; no table is open when it cannot
    // be opened again.
    void undo();
    // darni-cli's "undo": puts the table at `path` (not open) back as it was before the last command that
    // changed it there. Throws UserError.
    static void undoClosed(const QString& path);
    // Removes the rows in these slots (all of them in one step); nothing to delete does nothing at all.
    void deleteRows(const std::vector<std::uint32_t>& slots);
    // Numbers the page's rows 1, 2, … in this order (the page's own order when empty); rows numbered so
    // already are left as they are, with the file.
    void renumber(std::span<const std::uint32_t> pageOrder = {});
    // Stores `text` in the field of the row in `slot`, as a user typed it (in `locale`, by default the
    // Russian one of everything a person reads; "." also accepted). Blank text blanks the field. Returns why it was
    // refused, in Russian; the stored value is then kept.
    std::optional<QString> editField(std::uint32_t slot, table::Field field, const QString& text,
                                     const QLocale& locale = table::displayLocale());
    // Sorts the page's rows by the field through the page's sort tag. Throws UserError when the field
    // cannot be a key; the rows are then in file order.
    void sortBy(Page page, table::Field field, bool descending);
    // Back to file order, both pages.
    void resetSorting();
    // The user turned to the other page.
    void showPage(Page page);
    // Exports the page in view in file order (the sort orders go first); throws UserError.
    void exportPage(const QString& path);
    // The page in view, in the order it shows, as a CSV file for a Russian spreadsheet program; throws
    // UserError.
    void exportPageCsv(const QString& path);
    // The page in view, in the order it shows, as an Excel 2007+ workbook; throws UserError.
    void exportPageXlsx(const QString& path);
    // The report of the page in view, in its current order, composed page by page as it is asked for;
    // nothing with no table open.
    std::optional<output::report::PageByPageReport> reportPages();

    // An instrument told its device information (also one then refused, also in a transfer that
    // failed later): its device type is that of the data in hand from now on.
    void instrumentAnswered(std::uint8_t deviceType);
    // Row counts and dates, for darni-cli's "info".
    TableSummary summary();

    // A saved transfer read to make a table of, as darni-cli decode and "Создать из сохранённой передачи…"
    // read one: throws UserError when the file is no saved transfer or its data are unfit to decode.
    static transfer::SavedTransfer readSavedTransfer(const QString& path);
    // Said of a saved transfer that nothing can vouch for (written before such files had a checksum).
    static QString uncheckedTransferWarning(const QString& path);

    // Where a transfer is kept that the table could not take, as a sentence for the user.
    static QString keepTransfer(const QString& tablePath, const transfer::Transfer& transfer);

private:
    // `order` holds each row of `rows` once, and no other.
    static bool holdsThePageRows(std::span<const std::uint32_t> order, const table::RecordView& rows);
    // The page's rows but those in `slots`, in the page's order.
    table::RecordView pageRowsWithout(const std::vector<std::uint32_t>& slots);
    // What the table's undo copy holds: the file as it was before the last command, or before the
    // edits since, saved or not yet.
    enum class UndoState { Nothing, BeforeCommand, BeforeSavedEdits, BeforeUnsavedEdits };

    bool openWith(const QString& path, table::DbfTable::Access access);
    // Opens the table at `path`; false, with openFailure() saying why, when it cannot be.
    bool openTable(const QString& path, table::DbfTable::Access access);
    // Closes and opens the table again, keeping the active sort tag: with what is pending written, so
    // that everything is on disk, or dropped. Throws TableError if opening fails; no table is open then.
    enum class Pending { Write, Drop };
    void reopen(Pending pending = Pending::Write);
    void dropFailedAppend() noexcept;
    // Closes the table as it is; its index file goes too unless asked to stay.
    enum class IndexFile { Remove, Keep };
    void closeTable(IndexFile index);
    // The rows the page in view shows: those of its kind.
    table::RowFilter pageFilter() const;
    // The newest stored stamps that a transfer's records are compared with.
    decode::StoredStamps storedStamps(const transfer::Transfer& transfer);
    // Appends the transfer's rows (every record, or those newer than `stored`) in one call.
    decode::DecodeResult addTransferRows(const transfer::Transfer& transfer, decode::DecodeMode mode,
                                         const decode::StoredStamps& stored);
    // The device type of the first row of the page in view (0 when blank or no row).
    void readDeviceTypeFromPage();
    // Keeps the table for undo, then runs the command that changes it.
    void changeWithUndo(undo::Change change, const std::function<void()>& command);
    void forgetUndo();
    // Whether the rows in this order (the page's own when empty) are numbered 1, 2, … already.
    bool alreadyNumbered(std::span<const std::uint32_t> pageOrder);
    void afterOpening();
    void choosePage();
    void recompute();

    table::DbfTable m_table;
    QString m_path;
    table::DbfTable::Access m_access = table::DbfTable::Access::ReadWrite;
    bool m_modified = false;
    std::uint8_t m_deviceType = 0;
    QString m_openFailure;
    bool m_failedOnlyForWriting = false;
    Page m_page = Page::Ultrasonic;
    std::optional<table::TableStatistics> m_statistics; // nothing while they are to be worked out again
    UndoState m_undo = UndoState::Nothing;
    QString m_readOnlyReason;
    // The last sort made and the page it was made on; it stands while its tag is the table's order.
    std::optional<std::pair<Page, SortMark>> m_lastSort;
};

} // namespace darni::workspace
