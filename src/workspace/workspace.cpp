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
#include "table/tableorder.h"
#include "transfer/transferfile.h"
#include "undocopy.h"

#include <QFileInfo>

#include <algorithm>
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
} // namespace

// ---- state --------------------------------------------------------------------------------------

table::RecordView Workspace::pageRows()
{
    return isOpen() ? m_document.table().view() : table::RecordView();
}

void Workspace::choosePage()
{
    m_page = m_document.choosePage().value_or(Page::Ultrasonic);
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

void Workspace::postPending()
{
    if (isOpen() && m_document.table().state() != DbfTable::State::Browse)
        m_document.table().post();
}

void Workspace::changeWithUndo(undo::Change change, const std::function<void()>& command)
{
    const QString path = m_document.path();
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
        undo::discardCopy(m_document.path());
    m_undo = UndoState::Nothing;
}

std::optional<QString> Workspace::beginEditing()
{
    if (!isOpen() || isReadOnly())
        return QStringLiteral("Таблица открыта только для чтения.");
    if (m_undo != UndoState::BeforeUnsavedEdits) {
        try {
            postPending();
            undo::takeCopy(m_document.path());
        } catch (const files::UserError& e) {
            return e.message();
        }
        m_undo = UndoState::BeforeUnsavedEdits;
    }
    m_document.markModified();
    return std::nullopt;
}

void Workspace::afterOpening()
{
    // The page first: the device type and the figures are those of the page in view, never of the
    // filter that the table opened before left behind.
    m_lastSort.reset();
    choosePage();
    m_document.readDeviceTypeFromPage();
    recompute();
    m_document.markSaved();
    // An undo copy whose writing was cut short is of no use to anyone.
    undo::removeAbandoned(m_document.path());
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
            m_document.create(path, [&](DbfTable& t) {
                const auto result = decode::flash2klivo(t, transfer, decode::DecodeMode::Create);
                added = result.addedFirstBlock + result.addedSecondBlock;
            });
        } catch (...) {
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
    m_document.markSaved();
    return added;
}

bool Workspace::open(const QString& path)
{
    if (isOpen())
        close(false);
    // A table that may not be written now (another program holds it, or it is read-only) is still
    // shown, for reading: viewing, sorting, printing and export work, nothing changes it.
    m_readOnlyReason.clear();
    if (m_document.open(path)) {
        afterOpening();
        return true;
    }
    if (!m_document.failedOnlyForWriting())
        return false;
    const QString whyNotForWriting = m_document.failureMessage();
    if (!m_document.open(path, DbfTable::Access::ReadOnly))
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
    if (!m_document.open(path, access))
        return false;
    afterOpening();
    return true;
}

QStringList Workspace::append(const transfer::Transfer& transfer, KeepTransfer keep)
{
    if (!isOpen() || isReadOnly())
        return {};
    instrumentAnswered(transfer.header.deviceType);
    try {
        postPending();
        // Nothing new: no byte is written, and the copy of an earlier command stays for its undo.
        if (decode::newRecordCount(m_document.table(), transfer) == 0)
            return decode::DecodeResult::nothingAddedMessages();
        resetSorting();
        decode::DecodeResult result;
        changeWithUndo(undo::Change::InPlace, [&] {
            result = decode::flash2klivo(m_document.table(), transfer, decode::DecodeMode::Append);
            m_document.appended();
        });
        choosePage();
        recompute();
        return result.messages;
    } catch (const files::UserError& e) {
        if (keep == KeepTransfer::No)
            throw;
        throw files::UserError(e.message() + QLatin1Char('\n') + keepTransfer(m_document.path(), transfer));
    }
}

void Workspace::save()
{
    if (!isOpen() || isReadOnly())
        return;
    postPending();
    m_document.save();
    if (m_undo == UndoState::BeforeUnsavedEdits)
        m_undo = UndoState::BeforeSavedEdits;
}

void Workspace::close(bool saveFirst)
{
    if (isOpen())
        forgetUndo();
    m_document.close(saveFirst);
}

std::optional<QString> Workspace::closeKeepingIndex()
{
    if (!isOpen())
        return std::nullopt;
    const QString path = m_document.path();
    const bool keptCopy = m_undo != UndoState::Nothing;
    m_undo = UndoState::Nothing;
    m_document.closeKeepingIndex();
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
    const QString path = m_document.path();
    const bool editsToDrop = m_undo == UndoState::BeforeUnsavedEdits;
    m_undo = UndoState::Nothing;
    m_document.close(false);
    if (editsToDrop)
        undo::restoreCopy(path);
    else
        undo::discardCopy(path);
}

void Workspace::undo()
{
    if (!canUndo())
        throw files::UserError(undo::nothingToUndoMessage());
    const QString path = m_document.path();
    const UndoState before = m_undo;
    m_undo = UndoState::Nothing;
    m_document.close(false);
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
    postPending();
    resetSorting();
    // The figures of the rows that stay, worked out from the rows as they are read now rather than by
    // a walk over the rewritten file afterwards; the same rows in the same order give the same figures.
    std::optional<table::TableStatistics> after;
    if (m_statistics)
        after = table::findMma(pageRowsWithout(slots));
    changeWithUndo(undo::Change::Replacement, [&] { m_document.deleteRows(slots); });
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
    table::DbfTable& table = m_document.table();
    return table::RecordView(table, std::move(kept), table.generation());
}

void Workspace::renumber(std::span<const std::uint32_t> pageOrder)
{
    if (!isOpen() || isReadOnly())
        return;
    postPending();
    if (alreadyNumbered(pageOrder))
        return;
    changeWithUndo(undo::Change::Replacement, [&] {
        if (!pageOrder.empty()) {
            m_document.renumberRows(pageOrder);
            return;
        }
        const table::RecordView rows = pageRows();
        m_document.renumberRows(rows.slots());
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
    table::DbfTable& table = m_document.table();
    const table::RecordView wanted(table, std::vector<std::uint32_t>(pageOrder.begin(), pageOrder.end()),
                                   table.generation());
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
    DbfTable& t = m_document.table();
    if (!t.goToSlot(slot))
        return QStringLiteral("Этой строки на странице больше нет.");
    const QString trimmed = text.trimmed();
    const table::ValueType type = table::fieldSpec(field).valueType;
    try {
        if (trimmed.isEmpty()) {
            if (t.isNull(field))
                return std::nullopt;
            t.edit();
            t.setNull(field);
        } else if (type == table::ValueType::Text) {
            const int width = field == Field::COMMENT ? kCommentWidth : table::fieldSpec(field).width;
            const QByteArray bytes = table::cp1251::fromUnicode(QStringView(text).left(width));
            // Stored text keeps no trailing blanks, so text that differs only in them is no change.
            qsizetype end = bytes.size();
            while (end > 0 && bytes[end - 1] == ' ')
                --end;
            if (bytes.left(end) == t.text(field))
                return std::nullopt;
            t.edit();
            t.setText(field, bytes.toStdString());
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
            if (t.number(field) == number)
                return std::nullopt;
            t.edit();
            t.setReal(field, number);
        }
        t.post();
    } catch (const TableError& e) {
        t.cancel();
        return e.message();
    }
    return std::nullopt;
}

void Workspace::sortBy(Page page, Field field, bool descending)
{
    if (!isOpen())
        return;
    postPending();
    m_lastSort.reset();
    table::sortByField(m_document.table(), table::sortTagOf(page), field, descending);
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
        m_document.table().activeTag().compare(table::sortTagOf(page), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return m_lastSort->second;
}

void Workspace::resetSorting()
{
    if (!isOpen())
        return;
    for (const RecordKind kind : kKinds)
        table::resetOrder(m_document.table(), table::sortTagOf(kind));
}

void Workspace::showPage(Page page)
{
    if (!isOpen())
        return;
    m_page = page;
    m_document.table().setFilter(table::RowFilter::recordKind(table::nbTypeOf(page)));
    m_document.table().refresh();
    recompute();
}

void Workspace::instrumentAnswered(std::uint8_t deviceType)
{
    m_document.setDeviceType(deviceType);
}

// ---- output -------------------------------------------------------------------------------------

void Workspace::exportPage(const QString& path)
{
    if (!isOpen())
        return;
    postPending();
    // The rows go out in file order, and the pages stay that way afterwards.
    resetSorting();
    output::exportToExcel(pageRows(), path);
}

void Workspace::exportPageCsv(const QString& path)
{
    if (!isOpen())
        return;
    postPending();
    output::exportToCsv(pageRows(), path);
}

void Workspace::exportPageXlsx(const QString& path)
{
    if (!isOpen())
        return;
    postPending();
    output::exportToXlsx(pageRows(), path);
}

std::optional<output::report::PageByPageReport> Workspace::reportPages()
{
    if (!isOpen())
        return std::nullopt;
    postPending();
    return output::report::PageByPageReport(pageRows(), output::report::chooseReport(m_page, deviceType()));
}

TableSummary Workspace::summary()
{
    TableSummary s;
    if (!isOpen())
        return s;
    DbfTable& t = m_document.table();
    const table::RowFilter pageFilter = t.filter();
    t.setFilter(table::RowFilter());
    {
        // Counted before the page's filter comes back: that change makes this view stale, and a stale
        // view reads every row blank.
        const table::RecordView all = t.view();
        for (int row = 0; row < all.size(); ++row) {
            const int kind = all.integer(row, Field::NB_TYPE);
            (kind == table::nbTypeOf(RecordKind::Ultrasonic) ? s.ultrasonic
             : kind == table::nbTypeOf(RecordKind::PullOff)  ? s.pullOff
                                                             : s.other)++;
        }
    }
    t.setFilter(pageFilter);
    t.refresh();
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
