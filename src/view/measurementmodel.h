// The rows of the table's page as a Qt model for one grid: the page's rows in the table's order,
// the grid's columns, and edits written back through the table's cursor.
#pragma once

#include "columnset.h"

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

namespace darni::table {
class DbfTable;
}

namespace darni::view {

class MeasurementModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    MeasurementModel(table::DbfTable& table, GridKind kind, QObject* parent = nullptr);

    // Takes the page's rows afresh, after the table was opened, filtered, sorted or changed; with the
    // table closed the model is empty.
    void reload();
    std::uint32_t slotAt(int row) const { return m_slots.at(static_cast<std::size_t>(row)); }
    int rowOfSlot(std::uint32_t slot) const;
    const ColumnSpec& column(int c) const { return m_columns[static_cast<std::size_t>(c)]; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

Q_SIGNALS:
    // An in-place edit began or a value could not be stored (the text says why).
    void editStarted();
    void editFailed(const QString& message);

private:
    table::DbfTable& m_table;
    std::span<const ColumnSpec> m_columns;
    std::vector<std::uint32_t> m_slots; // the page's rows, in the table's order
};

} // namespace darni::view
