// Everything a user can do to the measurement tables, without a window.
#include "workspace.h"

#include "decode/stampseconds.h"
#include "decode/transferdecoding.h"
#include "files/atomicfile.h"
#include "output/csvexport.h"
#include "output/excelexport.h"
#include "output/report/reportlayout.h"
#include "output/xlsxexport.h"
#include "table/cp1251.h"
#include "table/numbertext.h"
#include "table/tableerror.h"
#include "table/tablelog.h"
#include "table/tableorder.h"
#include "table/tablepaths.h"
#include "transfer/transferfile.h"
#include "undocopy.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <set>
#include <unordered_set>
#include <utility>

namespace darni::workspace {

using table::DbfTable;
using table::Field;
using table::RecordKind;
using table::TableError;

namespace {
// A comment longer than the field is cut to it when stored.
constexpr int kCommentWidth = 100;

constexpr RecordKind kKinds[] = {RecordKind::Ultrasonic, RecordKind::PullOff};

bool isWholeNumberField(Field field)
{
    const table::ValueType type = table::fieldSpec(field).valueType;
    return type == table::ValueType::Integer || type == table::ValueType::SmallInteger;
}

QString damagedMessage()
{
    return QStringLiteral("База данных повреждена !");
}

// Why a table could not be opened, in the user's words.
QString openFailureMessage(const TableError& error)
{
    switch (error.cause()) {
    case TableError::Cause::NotATable:
        return damagedMessage();
    case TableError::Cause::MissingField:
    case TableError::Cause::IncompatibleField:
        return QStringLiteral("Это таблица другой программы, а не таблица измерений ОРНАК-ТР5.\n%1")
            .arg(error.message());
    default:
        return error.message();
    }
}

// Only writing is barred: the table can still be opened for reading.
bool barsOnlyWriting(const TableError& error)
{
    return error.cause() == TableError::Cause::Locked || error.cause() == TableError::Cause::ReadOnly ||
           error.cause() == TableError::Cause::NoPermission;
}

table::RowFilter rowsOfKind(RecordKind kind)
{
    return table::RowFilter::recordKind(table::nbTypeOf(kind));
}
} // namespace

QString Workspace::openFailureCaption()
{
    return QStringLiteral("Ошибка");
}

// ---- state --------------------------------------------------------------------------------------

table::RowFilter Workspace::pageFilter() const
{
    return rowsOfKind(m_page);
}

table::RecordView Workspace::pageRows()
{
    return isOpen() ? m_table.view(pageFilter()) : table::RecordView();
}

void Workspace::choosePage()
{
    // The pull-off page when at least one row is a pull-off row, else the ultrasonic page.
    const std::array<int, 2> kinds = {table::nbTypeOf(RecordKind::PullOff), table::nbTypeOf(RecordKind::Ultrasonic)};
    m_page = m_table.firstKindPresent(kinds) == table::nbTypeOf(RecordKind::PullOff) ? Page::PullOff : Page::Ultrasonic;
}

void Workspace::readDeviceTypeFromPage()
{
    const table::RecordView rows = pageRows();
    m_deviceType = rows.isEmpty() ? 0 : static_cast<std::uint8_t>(rows.integer(0, Field::DEV_TYPE));
}

void Workspace::recompute()
{
    m_statistics.reset();
}

const table::TableStatistics& Workspace::statistics()
{
    if (!m_statistics)
        m_statistics = isOpen() ? table::findMma(pageRows()) : table::TableStatistics{};
    return *m_statistics;
}

void Workspace::changeWithUndo(undo::Change change, const std::function<void()>& command)
{
    const QString path = m_path;
    undo::EarlierCopy earlier(path);
    undo::takeCopy(path, change);
    const UndoState before = std::exchange(m_undo, UndoState::BeforeCommand);
    try {
        command();
    } catch (...) {
        // A command that failed changed nothing: its copy goes, and the earlier command's comes back.
        undo::discardCopy(path);
        m_undo = before;
        throw;
    }
    earlier.drop();
}

void Workspace::forgetUndo()
{
    // Only a copy of this opening's making: one that darni-cli left for its own "undo" stays.
    if (m_undo != UndoState::Nothing)
        undo::discardCopy(m_path);
    m_undo = UndoState::Nothing;
}

std::optional<QString> Workspace::beginEditing()
{
    if (!isOpen() || isReadOnly())
        return QStringLiteral("Таблица открыта только для чтения.");
    if (m_undo != UndoState::BeforeUnsavedEdits) {
        try {
            undo::takeCopy(m_path);
        } catch (const files::UserError& e) {
            return e.message();
        }
        m_undo = UndoState::BeforeUnsavedEdits;
    }
    m_modified = true;
    return std::nullopt;
}

void Workspace::afterOpening()
{
    // The page first: the device type and the figures are those of the page in view, never of the
    // filter that the table opened before left behind.
    m_lastSort.reset();
    choosePage();
    readDeviceTypeFromPage();
    recompute();
    m_modified = false;
    // An undo copy whose writing was cut short is of no use to anyone.
    undo::removeAbandoned(m_path);
}

// ---- file commands ------------------------------------------------------------------------------

void Workspace::checkCreatable(const QString& path)
{
    DbfTable::checkReplaceable(path);
}

int Workspace::createFromTransfer(const QString& path, const transfer::Transfer& transfer, KeepTransfer keep)
{
    if (isOpen())
        close(false);
    instrumentAnswered(transfer.header.deviceType);
    int added = 0;
    // A table replaced by the new one stays the undo copy, so that no click in a file dialog loses it.
    const bool replacing = QFileInfo::exists(files::resolvedPath(path));
    try {
        std::optional<undo::EarlierCopy> earlier;
        if (replacing) {
            earlier.emplace(path);
            undo::takeCopy(path, undo::Change::Replacement);
        }
        try {
            m_path = path;
            m_access = DbfTable::Access::ReadWrite;
            m_modified = false;
            m_table.openNew(path);
            const auto result = addTransferRows(transfer, decode::DecodeMode::Create, {});
            m_table.commitNew();
            added = result.addedFirstBlock + result.addedSecondBlock;
        } catch (...) {
            // The new table is thrown away whole; an earlier one of that name is as it was.
            m_table.close();
            if (replacing)
                undo::discardCopy(path);
            throw;
        }
        if (earlier)
            earlier->drop();
    } catch (const files::UserError& e) {
        if (keep == KeepTransfer::No)
            throw;
        throw files::UserError(e.message() + QLatin1Char('\n') + keepTransfer(path, transfer));
    }
    m_undo = replacing ? UndoState::BeforeCommand : UndoState::Nothing;
    choosePage();
    recompute();
    m_modified = false;
    return added;
}

bool Workspace::open(const QString& path)
{
    if (isOpen())
        close(false);
    // A table that may not be written now (another program holds it, or it is read-only) is still
    // shown, for reading: viewing, sorting, printing and export work, nothing changes it.
    m_readOnlyReason.clear();
    if (openTable(path, DbfTable::Access::ReadWrite)) {
        afterOpening();
        return true;
    }
    if (!m_failedOnlyForWriting)
        return false;
    const QString whyNotForWriting = m_openFailure;
    if (!openTable(path, DbfTable::Access::ReadOnly))
        return false;
    m_readOnlyReason = whyNotForWriting;
    afterOpening();
    return true;
}

bool Workspace::openForReading(const QString& path)
{
    return openWith(path, DbfTable::Access::ReadOnly);
}

bool Workspace::openForWriting(const QString& path)
{
    return openWith(path, DbfTable::Access::ReadWrite);
}

bool Workspace::openWith(const QString& path, DbfTable::Access access)
{
    if (isOpen())
        close(false);
    m_readOnlyReason.clear();
    if (!openTable(path, access))
        return false;
    afterOpening();
    return true;
}

bool Workspace::openTable(const QString& path, DbfTable::Access access)
{
    m_path = path;
    m_access = access;
    m_openFailure.clear();
    m_failedOnlyForWriting = false;
    m_modified = false;
    try {
        m_table.open(path, access);
    } catch (const TableError& e) {
        qCWarning(lcTable) << "open failed:" << e.message();
        m_openFailure = openFailureMessage(e);
        m_failedOnlyForWriting = access == DbfTable::Access::ReadWrite && barsOnlyWriting(e);
        return false;
    }
    return true;
}

void Workspace::reopen(Pending pending)
{
    const QString tag = m_table.activeTag();
    if (pending == Pending::Write)
        m_table.close();
    else
        m_table.abandon();
    try {
        m_table.open(m_path, m_access);
        if (!tag.isEmpty() && m_table.tagNames().contains(tag, Qt::CaseInsensitive))
            m_table.setActiveTag(tag);
    } catch (...) {
        m_table.close();
        throw;
    }
}

void Workspace::closeTable(IndexFile index)
{
    m_modified = false;
    if (!isOpen())
        return;
    const bool writable = m_table.isWritable();
    m_table.close();
    // The sort order lives only while the table is open. A missing file is not an error. A table open
    // only for reading leaves its folder as it found it.
    if (writable && index == IndexFile::Remove)
        QFile::remove(table::indexFilePath(m_path));
}

void Workspace::dropFailedAppend() noexcept
{
    if (!isOpen())
        return;
    // Rows of a failed append are never counted: the table goes back to those it held, and only a
    // table that cannot be opened again is left closed, which isOpen() then tells.
    try {
        reopen(Pending::Drop);
    } catch (const std::exception& e) {
        qCWarning(lcTable) << "table not opened again after a failed append:" << e.what();
    }
}

decode::StoredStamps Workspace::storedStamps(const transfer::Transfer& transfer)
{
    // New records follow the stored ultrasonic rows, the newest of which are the last in the file,
    // whatever order the page shows.
    return decode::storedStamps(transfer, m_table.view(rowsOfKind(RecordKind::Ultrasonic), DbfTable::Order::File));
}

decode::DecodeResult Workspace::addTransferRows(const transfer::Transfer& transfer, decode::DecodeMode mode,
                                                const decode::StoredStamps& stored)
{
    return decode::flash2klivo(transfer, mode, stored,
                               [this](std::span<const table::NewRow> rows) { m_table.appendRows(rows); });
}

QStringList Workspace::append(const transfer::Transfer& transfer, KeepTransfer keep)
{
    if (!isOpen() || isReadOnly())
        return {};
    instrumentAnswered(transfer.header.deviceType);
    try {
        // Nothing new: no byte is written, and the copy of an earlier command stays for its undo.
        const decode::StoredStamps stored = storedStamps(transfer);
        if (decode::newRecordCount(transfer, stored) == 0)
            return decode::DecodeResult::nothingAddedMessages();
        resetSorting();
        decode::DecodeResult result;
        changeWithUndo(undo::Change::InPlace, [&] {
            try {
                result = addTransferRows(transfer, decode::DecodeMode::Append, stored);
                reopen();
            } catch (...) {
                dropFailedAppend();
                throw;
            }
            m_modified = false;
        });
        choosePage();
        recompute();
        return result.messages;
    } catch (const files::UserError& e) {
        if (keep == KeepTransfer::No)
            throw;
        throw files::UserError(e.message() + QLatin1Char('\n') + keepTransfer(m_path, transfer));
    }
}

void Workspace::save()
{
    if (!isOpen() || isReadOnly())
        return;
    reopen();
    m_modified = false;
    if (m_undo == UndoState::BeforeUnsavedEdits)
        m_undo = UndoState::BeforeSavedEdits;
}

void Workspace::close(bool saveFirst)
{
    if (isOpen())
        forgetUndo();
    if (saveFirst && m_modified)
        save();
    closeTable(IndexFile::Remove);
}

std::optional<QString> Workspace::closeKeepingIndex()
{
    if (!isOpen())
        return std::nullopt;
    const QString path = m_path;
    const bool keptCopy = m_undo != UndoState::Nothing;
    m_undo = UndoState::Nothing;
    closeTable(IndexFile::Keep);
    if (!keptCopy)
        return std::nullopt;
    // The copy is put back later only over the table exactly as this command left it.
    try {
        undo::recordState(path);
    } catch (const files::UserError& e) {
        return QStringLiteral("Копия таблицы для отмены не сохранена: ") + e.message();
    }
    return std::nullopt;
}

void Workspace::discardUndo()
{
    if (isOpen())
        forgetUndo();
}

void Workspace::closeDiscardingEdits()
{
    if (!isOpen())
        return;
    const QString path = m_path;
    const bool editsToDrop = m_undo == UndoState::BeforeUnsavedEdits;
    m_undo = UndoState::Nothing;
    closeTable(IndexFile::Remove);
    if (editsToDrop)
        undo::restoreCopy(path);
    else
        undo::discardCopy(path);
}

void Workspace::undo()
{
    if (!canUndo())
        throw files::UserError(undo::nothingToUndoMessage());
    const QString path = m_path;
    const UndoState before = m_undo;
    m_undo = UndoState::Nothing;
    closeTable(IndexFile::Remove);
    try {
        undo::restoreCopy(path);
    } catch (const files::UserError&) {
        // The file and its copy are as they were: the table comes back as it stood.
        if (openForWriting(path))
            m_undo = before;
        throw;
    }
    if (!openForWriting(path))
        throw files::UserError(openFailure());
}

void Workspace::undoClosed(const QString& path)
{
    // The table must not be held by another writer while its file is replaced.
    DbfTable::checkReplaceable(path);
    undo::restoreCopy(path, undo::Check::Recorded);
}

// ---- row commands -------------------------------------------------------------------------------

void Workspace::deleteRows(const std::vector<std::uint32_t>& slots)
{
    if (slots.empty() || !isOpen() || isReadOnly())
        return;
    resetSorting();
    // The figures of the rows that stay, worked out from the rows as they are read now rather than by
    // a walk over the rewritten file afterwards; the same rows in the same order give the same figures.
    std::optional<table::TableStatistics> after;
    if (m_statistics)
        after = table::findMma(pageRowsWithout(slots));
    // The rewrite keeps the table open and locked throughout, and its order. The file then holds
    // everything, edits included, so the table counts as saved.
    changeWithUndo(undo::Change::Replacement, [&] { m_table.removeRows(slots); });
    m_modified = false;
    m_statistics = after;
}

table::RecordView Workspace::pageRowsWithout(const std::vector<std::uint32_t>& slots)
{
    const table::RecordView page = pageRows();
    const std::unordered_set<std::uint32_t> removed(slots.begin(), slots.end());
    std::vector<std::uint32_t> kept;
    kept.reserve(page.slots().size());
    std::copy_if(page.slots().begin(), page.slots().end(), std::back_inserter(kept),
                 [&removed](std::uint32_t slot) { return !removed.contains(slot); });
    return table::RecordView(m_table, std::move(kept), m_table.generation());
}

void Workspace::renumber(std::span<const std::uint32_t> pageOrder)
{
    if (!isOpen() || isReadOnly())
        return;
    if (alreadyNumbered(pageOrder))
        return;
    // The rows are fixed before the first number is written, so a page sorted by the number itself
    // still gets every row numbered exactly once.
    changeWithUndo(undo::Change::Replacement, [&] {
        if (!pageOrder.empty()) {
            m_table.renumberRows(pageOrder);
            return;
        }
        const table::RecordView rows = pageRows();
        m_table.renumberRows(rows.slots());
    });
}

bool Workspace::alreadyNumbered(std::span<const std::uint32_t> pageOrder)
{
    const table::RecordView rows = pageRows();
    if (pageOrder.empty())
        pageOrder = rows.slots();
    else if (!holdsThePageRows(pageOrder, rows))
        return false;
    // Read in the wanted order, so that the first row out of step ends the reading: a table with gaps
    // is told from a numbered one within its first gap, not after a walk over all its rows.
    const table::RecordView wanted(m_table, std::vector<std::uint32_t>(pageOrder.begin(), pageOrder.end()),
                                   m_table.generation());
    for (int row = 0; row < wanted.size(); ++row) {
        if (wanted.number(row, Field::N) != static_cast<double>(row + 1))
            return false;
    }
    return true;
}

bool Workspace::holdsThePageRows(std::span<const std::uint32_t> order, const table::RecordView& rows)
{
    if (order.size() != rows.slots().size())
        return false;
    if (std::equal(order.begin(), order.end(), rows.slots().begin()))
        return true;
    const std::uint32_t highest = rows.isEmpty() ? 0 : *std::max_element(rows.slots().begin(), rows.slots().end());
    std::vector<bool> inPage(static_cast<std::size_t>(highest) + 1, false);
    for (const std::uint32_t slot : rows.slots())
        inPage[slot] = true;
    return std::all_of(order.begin(), order.end(), [&](std::uint32_t slot) {
        if (slot > highest || !inPage[slot])
            return false;
        inPage[slot] = false; // each row once
        return true;
    });
}

std::optional<QString> Workspace::editField(std::uint32_t slot, Field field, const QString& text, const QLocale& locale)
{
    if (!isOpen() || isReadOnly())
        return QStringLiteral("Таблица открыта только для чтения.");
    const QString rowGone = QStringLiteral("Этой строки на странице больше нет.");
    if (!m_table.isLive(slot))
        return rowGone;
    const table::RecordView row(m_table, {slot}, m_table.generation());
    if (!pageFilter().accepts(row.integer(0, Field::NB_TYPE)))
        return rowGone;
    const QString trimmed = text.trimmed();
    const table::ValueType type = table::fieldSpec(field).valueType;
    table::FieldValue value = table::FieldValue::blank();
    if (trimmed.isEmpty()) {
        if (row.isNull(0, field))
            return std::nullopt;
    } else if (type == table::ValueType::Text) {
        const int width = field == Field::COMMENT ? kCommentWidth : table::fieldSpec(field).width;
        const QByteArray bytes = table::cp1251::fromUnicode(QStringView(text).left(width));
        // Stored text keeps no trailing blanks, so text that differs only in them is no change.
        qsizetype end = bytes.size();
        while (end > 0 && bytes[end - 1] == ' ')
            --end;
        if (bytes.left(end) == row.text(0, field))
            return std::nullopt;
        value = table::FieldValue::text(bytes.toStdString());
    } else {
        bool ok = false;
        double number = locale.toDouble(trimmed, &ok);
        if (!ok)
            number = QLocale::c().toDouble(trimmed, &ok);
        if (!ok)
            return QStringLiteral("\"%1\" не является числом.").arg(trimmed);
        // A whole-number column takes whole numbers only: "12,7" is refused, not cut to 12.
        if (isWholeNumberField(field) && number != std::trunc(number))
            return QStringLiteral("\"%1\" — не целое число, а в этом столбце только целые.").arg(trimmed);
        if (row.number(0, field) == number)
            return std::nullopt;
        value = table::FieldValue::real(number);
    }
    try {
        m_table.setField(slot, field, value);
    } catch (const TableError& e) {
        return e.message();
    }
    return std::nullopt;
}

void Workspace::sortBy(Page page, Field field, bool descending)
{
    if (!isOpen())
        return;
    m_lastSort.reset();
    table::sortByField(m_table, table::sortTagOf(page), field, descending);
    m_lastSort.emplace(page, SortMark{field, descending});
}

std::vector<std::uint32_t> Workspace::rowsAtPositions(std::span<const double> positions)
{
    const table::RecordView rows = pageRows();
    std::set<std::uint32_t> slots;
    for (const double position : positions) {
        if (position != std::trunc(position) || position < 1 || position > rows.size()) {
            throw RowChoiceError(RowChoiceError::Cause::NoSuchPosition,
                                 QStringLiteral("На странице нет строки %1 (строк на странице: %2)")
                                     .arg(table::numberText(position))
                                     .arg(rows.size()));
        }
        slots.insert(rows.slotAt(static_cast<int>(position) - 1));
    }
    return {slots.begin(), slots.end()};
}

std::vector<std::uint32_t> Workspace::rowsNumbered(std::span<const double> numbers, bool allMatching)
{
    const table::RecordView rows = pageRows();
    std::map<double, std::vector<int>> matches;
    for (const double n : numbers)
        matches[n];
    for (int row = 0; row < rows.size(); ++row) {
        const auto number = rows.number(row, Field::N);
        if (number && matches.count(*number))
            matches[*number].push_back(row);
    }
    std::set<std::uint32_t> slots;
    for (const auto& [number, found] : matches) {
        if (found.empty()) {
            throw RowChoiceError(RowChoiceError::Cause::NoSuchNumber,
                                 QStringLiteral("На странице нет строки с номером %1").arg(table::numberText(number)));
        }
        if (found.size() > 1 && !allMatching) {
            QStringList places;
            for (const int row : found)
                places << QString::number(row + 1);
            throw RowChoiceError(RowChoiceError::Cause::NumberOnSeveralRows,
                                 QStringLiteral("Номер %1 есть у %2 строк страницы (позиции %3)")
                                     .arg(table::numberText(number))
                                     .arg(found.size())
                                     .arg(places.join(QStringLiteral(", "))));
        }
        for (const int row : found)
            slots.insert(rows.slotAt(row));
    }
    return {slots.begin(), slots.end()};
}

std::optional<SortMark> Workspace::sortMark(Page page) const
{
    // The table's active order is the truth: whatever put the rows back in file order took the mark.
    if (!isOpen() || !m_lastSort || m_lastSort->first != page ||
        m_table.activeTag().compare(table::sortTagOf(page), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return m_lastSort->second;
}

void Workspace::resetSorting()
{
    if (!isOpen())
        return;
    for (const RecordKind kind : kKinds)
        table::resetOrder(m_table, table::sortTagOf(kind));
}

void Workspace::showPage(Page page)
{
    if (!isOpen())
        return;
    m_page = page;
    recompute();
}

void Workspace::instrumentAnswered(std::uint8_t deviceType)
{
    m_deviceType = deviceType;
}

// ---- output -------------------------------------------------------------------------------------

void Workspace::exportPage(const QString& path)
{
    if (!isOpen())
        return;
    // The rows go out in file order, and the pages stay that way afterwards.
    resetSorting();
    output::exportToExcel(pageRows(), path);
}

void Workspace::exportPageCsv(const QString& path)
{
    if (!isOpen())
        return;
    output::exportToCsv(pageRows(), path);
}

void Workspace::exportPageXlsx(const QString& path)
{
    if (!isOpen())
        return;
    output::exportToXlsx(pageRows(), path);
}

std::optional<output::report::PageByPageReport> Workspace::reportPages()
{
    if (!isOpen())
        return std::nullopt;
    return output::report::PageByPageReport(pageRows(), output::report::chooseReport(m_page, deviceType()));
}

TableSummary Workspace::summary()
{
    TableSummary s;
    if (!isOpen())
        return s;
    const table::RecordView all = m_table.view();
    for (int row = 0; row < all.size(); ++row) {
        const int kind = all.integer(row, Field::NB_TYPE);
        (kind == table::nbTypeOf(RecordKind::Ultrasonic) ? s.ultrasonic
         : kind == table::nbTypeOf(RecordKind::PullOff)  ? s.pullOff
                                                         : s.other)++;
    }
    const table::RecordView page = pageRows();
    s.pageRows = page.size();
    std::int64_t earliest = std::numeric_limits<std::int64_t>::max();
    std::int64_t latest = std::numeric_limits<std::int64_t>::min();
    for (int row = 0; row < page.size(); ++row) {
        const QString date = QString::fromLatin1(page.text(row, Field::DATE));
        const QString time = QString::fromLatin1(page.text(row, Field::TIME));
        const auto stamp = decode::stampSeconds(date, time);
        if (!stamp)
            continue;
        if (*stamp < earliest) {
            earliest = *stamp;
            s.earliest = date + QLatin1Char(' ') + time;
        }
        if (*stamp > latest) {
            latest = *stamp;
            s.latest = date + QLatin1Char(' ') + time;
        }
    }
    return s;
}

transfer::SavedTransfer Workspace::readSavedTransfer(const QString& path)
{
    transfer::SavedTransfer saved = transfer::loadTransferFile(path);
    if (const auto problem = transfer::transferProblem(saved.transfer))
        throw files::UserError(QStringLiteral("Файл %1 не подходит: %2").arg(path, *problem));
    return saved;
}

QString Workspace::uncheckedTransferWarning(const QString& path)
{
    return QStringLiteral("Внимание: файл %1 записан прежней версией программы без контрольной суммы, его "
                          "целостность проверить нельзя.")
        .arg(path);
}

QString Workspace::keepTransfer(const QString& tablePath, const transfer::Transfer& transfer)
{
    return transfer::rescueTransferReport(tablePath, transfer);
}

} // namespace darni::workspace
