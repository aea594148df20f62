// The one open table of the program and its state.
#include "tabledocument.h"

#include "tableerror.h"
#include "tablelog.h"
#include "tablepaths.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <functional>

namespace darni::table {

QString TableDocument::damagedMessage()
{
    return QStringLiteral("База данных повреждена !");
}

QString TableDocument::errorCaption()
{
    return QStringLiteral("Ошибка");
}

QString TableDocument::openFailureMessage(const TableError& error)
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

void TableDocument::create(const QString& path, const std::function<void(DbfTable&)>& fill)
{
    m_isOpen = false;
    m_isModified = false;
    m_table.close();
    m_path = path;
    m_access = DbfTable::Access::ReadWrite;
    try {
        m_table.openNew(path);
        m_isOpen = true;
        fill(m_table);
        m_table.commitNew();
    } catch (...) {
        // The new table is thrown away whole; an earlier one of that name is as it was.
        m_table.close();
        m_isOpen = false;
        throw;
    }
    m_isModified = false;
}

bool TableDocument::open(const QString& path, DbfTable::Access access)
{
    if (m_isOpen)
        close(false);
    m_path = path;
    m_failure.clear();
    m_failedOnlyForWriting = false;
    m_access = access;
    try {
        m_table.open(path, access);
    } catch (const TableError& e) {
        qCWarning(lcTable) << "open failed:" << e.message();
        m_failure = openFailureMessage(e);
        m_failedOnlyForWriting = access == DbfTable::Access::ReadWrite &&
                                 (e.cause() == TableError::Cause::Locked || e.cause() == TableError::Cause::ReadOnly ||
                                  e.cause() == TableError::Cause::NoPermission);
        return false;
    }
    m_isOpen = true;
    m_table.first();
    m_deviceType = static_cast<std::uint8_t>(m_table.integer(Field::DEV_TYPE));
    m_isModified = false;
    return true;
}

void TableDocument::readDeviceTypeFromPage()
{
    if (!m_isOpen)
        return;
    m_table.first();
    m_deviceType = static_cast<std::uint8_t>(m_table.integer(Field::DEV_TYPE));
}

void TableDocument::save()
{
    if (!m_isOpen)
        return;
    if (m_table.state() != DbfTable::State::Browse)
        m_table.post();
    reopen();
    m_isModified = false;
}

void TableDocument::reopen()
{
    const QString tag = m_table.activeTag();
    m_table.close();
    try {
        m_table.open(m_path, m_access);
        if (!tag.isEmpty() && m_table.tagNames().contains(tag, Qt::CaseInsensitive))
            m_table.setActiveTag(tag);
        m_table.first();
    } catch (...) {
        m_table.close();
        m_isOpen = false;
        throw;
    }
}

void TableDocument::deleteRows(const std::vector<std::uint32_t>& slots)
{
    if (!m_isOpen || slots.empty())
        return;
    if (m_table.state() != DbfTable::State::Browse)
        m_table.post();
    // The rewrite keeps the table open and locked throughout, and its order, on the first row.
    m_table.removeRows(slots);
    m_isModified = false;
}

void TableDocument::renumberRows(std::span<const std::uint32_t> pageOrder)
{
    if (!m_isOpen)
        return;
    if (m_table.state() != DbfTable::State::Browse)
        m_table.post();
    std::vector<std::uint32_t> walked;
    if (pageOrder.empty()) {
        for (bool ok = m_table.first(); ok; ok = m_table.next())
            walked.push_back(m_table.currentSlot());
    }
    m_table.renumberRows(pageOrder.empty() ? std::span<const std::uint32_t>(walked) : pageOrder);
}

void TableDocument::close(bool saveFirst)
{
    if (saveFirst && m_isModified)
        save();
    const bool wasOpen = m_isOpen;
    m_isOpen = false;
    m_isModified = false;
    if (!wasOpen)
        return;
    if (m_table.state() != DbfTable::State::Browse)
        m_table.cancel();
    const bool writable = m_table.isWritable();
    m_table.close();
    // The sort order lives only while the table is open. A missing file is not an error. A table open
    // only for reading leaves its folder as it found it.
    if (writable)
        QFile::remove(indexFilePath(m_path));
}

void TableDocument::closeKeepingIndex()
{
    m_isOpen = false;
    m_isModified = false;
    m_table.close();
}

void TableDocument::appended()
{
    m_isOpen = true;
    save();
}

std::optional<TableDocument::Page> TableDocument::choosePage()
{
    if (!m_isOpen)
        return std::nullopt;
    m_table.first();
    const std::array<int, 2> kinds = {nbTypeOf(RecordKind::PullOff), nbTypeOf(RecordKind::Ultrasonic)};
    return m_table.showFirstKindPresent(kinds) == nbTypeOf(RecordKind::PullOff) ? Page::PullOff : Page::Ultrasonic;
}

} // namespace darni::table
