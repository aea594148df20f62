// The one open table of the program and its state.
#include "tabledocument.h"

#include "tableerror.h"
#include "tablelog.h"
#include "tablepaths.h"

#include <QFile>

#include <algorithm>
#include <functional>

namespace darni::table {

namespace {
constexpr int kUltrasonicKind = 0;
constexpr int kPullOffKind = 1;
} // namespace

QString TableDocument::damagedMessage()
{
    return QStringLiteral("База данных повреждена !");
}

QString TableDocument::errorCaption()
{
    return QStringLiteral("Ошибка");
}

void TableDocument::create(const QString& path, const std::function<void(DbfTable&)>& fill)
{
    m_isOpen = false;
    m_isModified = false;
    m_table.close();
    m_path = path;
    DbfTable::create(path);
    m_table.open(path);
    m_isOpen = true;
    try {
        fill(m_table);
    } catch (...) {
        // What was posted stays in the file; the table stays open with it.
        m_isModified = false;
        throw;
    }
    m_isModified = false;
}

bool TableDocument::open(const QString& path)
{
    if (m_isOpen)
        close(false);
    m_path = path;
    try {
        m_table.open(path);
    } catch (const TableError& e) {
        qCWarning(lcTable) << "open failed:" << e.message();
        return false;
    }
    m_isOpen = true;
    m_table.first();
    m_deviceType = static_cast<std::uint8_t>(m_table.integer(Field::DEV_TYPE));
    m_isModified = false;
    return true;
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
        m_table.open(m_path);
        if (!tag.isEmpty() && m_table.tagNames().contains(tag, Qt::CaseInsensitive))
            m_table.setActiveTag(tag);
        m_table.first();
    } catch (...) {
        m_table.close();
        m_isOpen = false;
        throw;
    }
}

void TableDocument::deleteRows(std::vector<std::uint32_t> slots)
{
    if (!m_isOpen)
        return;
    if (m_table.state() != DbfTable::State::Browse)
        m_table.post();
    // From the last record to the first, each found by its slot, so equal rows are told apart.
    std::sort(slots.begin(), slots.end(), std::greater<>());
    for (const std::uint32_t slot : slots) {
        if (m_table.goToSlot(slot))
            m_table.deleteRow();
    }
    m_table.pack();
    reopen();
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
    const std::span<const std::uint32_t> page = pageOrder.empty() ? std::span<const std::uint32_t>(walked) : pageOrder;
    int number = 0;
    m_table.beginWriteBatch();
    for (const std::uint32_t slot : page) {
        if (!m_table.goToSlot(slot))
            continue;
        m_table.edit();
        m_table.setReal(Field::N, static_cast<double>(++number));
        m_table.post();
    }
    m_table.endWriteBatch();
    m_table.first();
    reopen();
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
    m_table.close();
    // The sort order lives only while the table is open. A missing file is not an error.
    QFile::remove(indexFilePath(m_path));
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
    m_table.setFilter(RowFilter::recordKind(kPullOffKind));
    m_table.refresh();
    if (m_table.count() > 0)
        return Page::PullOff;
    m_table.setFilter(RowFilter::recordKind(kUltrasonicKind));
    m_table.refresh();
    return Page::Ultrasonic;
}

} // namespace darni::table
