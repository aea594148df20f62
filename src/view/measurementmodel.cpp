// The rows of the table's page as a Qt model.
#include "measurementmodel.h"

#include "table/cp1251.h"
#include "table/dbftable.h"
#include "table/tableerror.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace darni::view {

using namespace darni::table;

namespace {
// A comment longer than the field is cut to it when stored.
constexpr int kCommentWidth = 100;
} // namespace

MeasurementModel::MeasurementModel(DbfTable& table, GridKind kind, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(columnsOf(kind))
{
    for (const ColumnSpec& c : m_columns)
        m_looks.push_back({QColor(), c.alignment, std::nullopt});
}

int MeasurementModel::columnOf(Field field) const
{
    const auto it = std::find_if(m_columns.begin(), m_columns.end(),
                                 [field](const ColumnSpec& c) { return c.field == field; });
    return it == m_columns.end() ? -1 : static_cast<int>(it - m_columns.begin());
}

CapturedValues MeasurementModel::capture(int row) const
{
    if (row < 0 || row >= rowCount() || !m_table.goToSlot(slotAt(row)))
        return {};
    return {m_table.number(Field::P), m_table.number(Field::R)};
}

void MeasurementModel::setLook(int c, const Look& look)
{
    m_looks[static_cast<std::size_t>(c)] = look;
    if (rowCount() > 0)
        Q_EMIT dataChanged(index(0, c), index(rowCount() - 1, c));
}

void MeasurementModel::reload()
{
    beginResetModel();
    m_slots.clear();
    if (m_table.isOpen()) {
        // One walk collects the page; cells are then read on demand by slot, so a table of any size
        // opens without reading more than the rows in view.
        const std::uint32_t current = m_table.currentSlot();
        m_slots.reserve(static_cast<std::size_t>(m_table.count()));
        for (bool ok = m_table.first(); ok; ok = m_table.next())
            m_slots.push_back(m_table.currentSlot());
        if (current == 0 || !m_table.goToSlot(current))
            m_table.first();
    }
    endResetModel();
}

void MeasurementModel::clear()
{
    beginResetModel();
    m_slots.clear();
    endResetModel();
}

int MeasurementModel::rowOfSlot(std::uint32_t slot) const
{
    const auto it = std::find(m_slots.begin(), m_slots.end(), slot);
    return it == m_slots.end() ? -1 : static_cast<int>(it - m_slots.begin());
}

int MeasurementModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_slots.size());
}

int MeasurementModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant MeasurementModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_table.isOpen())
        return {};
    const ColumnSpec& c = column(index.column());
    const Look& l = look(index.column());
    switch (role) {
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(l.alignment);
    case Qt::BackgroundRole:
        return l.color.isValid() ? QVariant(l.color) : QVariant();
    case Qt::FontRole:
        return l.font ? QVariant(*l.font) : QVariant();
    case Qt::DisplayRole:
    case Qt::EditRole:
        break;
    default:
        return {};
    }
    if (!m_table.goToSlot(slotAt(index.row())))
        return {};
    return role == Qt::EditRole ? editText(c, m_table.text(c.field)) : cellText(c, m_table.text(c.field));
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return QString::fromUtf16(column(section).caption);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

Qt::ItemFlags MeasurementModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    // A table open only for reading offers no editor.
    if (index.isValid() && column(index.column()).editable && m_table.isWritable())
        f |= Qt::ItemIsEditable;
    return f;
}

bool MeasurementModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_table.goToSlot(slotAt(index.row())))
        return false;
    const ColumnSpec& c = column(index.column());
    const QString text = value.toString().trimmed();
    // An editor closed on what it opened with (Enter or a click elsewhere) is no change: nothing is
    // written, so no stored digit is lost to the display format.
    if (text == data(index, Qt::EditRole).toString().trimmed())
        return true;
    const ValueType type = fieldSpec(c.field).valueType;
    try {
        m_table.edit();
        if (text.isEmpty()) {
            m_table.setNull(c.field);
        } else if (fieldSpec(c.field).valueType == ValueType::Text) {
            const int width = c.field == Field::COMMENT ? kCommentWidth : fieldSpec(c.field).width;
            m_table.setText(c.field, cp1251::fromUnicode(QStringView(value.toString()).left(width)).toStdString());
        } else {
            bool ok = false;
            double number = QLocale().toDouble(text, &ok);
            if (!ok)
                number = QLocale::c().toDouble(text, &ok);
            if (!ok) {
                m_table.cancel();
                Q_EMIT editFailed(QStringLiteral("\"%1\" не является числом.").arg(text));
                return false;
            }
            // A whole-number column takes whole numbers only: "12,7" is refused, not cut to 12.
            if ((type == ValueType::Integer || type == ValueType::SmallInteger) && number != std::trunc(number)) {
                m_table.cancel();
                Q_EMIT editFailed(QStringLiteral("\"%1\" — не целое число, а в этом столбце только целые.").arg(text));
                return false;
            }
            m_table.setReal(c.field, number);
        }
        m_table.post();
    } catch (const TableError& e) {
        m_table.cancel();
        Q_EMIT editFailed(e.message());
        return false;
    }
    Q_EMIT dataChanged(index, index);
    return true;
}

} // namespace darni::view
