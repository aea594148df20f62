// The rows of the table's page as a Qt model for one grid: the page's rows in the table's order, read
// through the model's own view of them, the grid's columns, and edits given to the workspace.
#pragma once

#include "columnset.h"

#include "table/recordview.h"
#include "table/tablestatistics.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>

#include <cstdint>
#include <optional>
#include <vector>

namespace darni::workspace {
class Workspace;
}

namespace darni::view {

class MeasurementModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    MeasurementModel(workspace::Workspace& workspace, GridKind kind, QObject* parent = nullptr);

    // Takes the page's rows afresh, after the table was opened, filtered, sorted or changed; with the
    // table closed the model is empty.
    void reload();
    // Holds no rows, whatever the table has.
    void clear();
    std::uint32_t slotAt(int row) const { return m_rows.slotAt(row); }
    // The page's rows as the grid shows them, top to bottom.
    std::span<const std::uint32_t> shownSlots() const { return m_rows.slots(); }
    int rowOfSlot(std::uint32_t slot) const;
    const ColumnSpec& column(int c) const { return m_columns[static_cast<std::size_t>(c)]; }
    // The column that shows this field, −1 when none does.
    int columnOf(table::Field field) const;
    // P and R of the row as they are now.
    table::CapturedValues capture(int row) const;
    // The widest text each column shows: for numbers, that of the row whose stored number is longest,
    // over every row; for texts, the longest among the first rows.
    std::vector<QString> widestTexts() const;
    // Whether the column shows numbers.
    bool showsNumbers(int column) const;
    // What rows the model holds, whatever their order (RecordView::rowSetKey).
    std::uint64_t rowSetKey() const { return m_rows.rowSetKey(); }
    // The rows are some of those of an earlier row set, values unchanged but in one field
    // (RecordView::narrowedFrom).
    std::uint64_t narrowedFrom() const { return m_rows.narrowedFrom(); }
    // The column of that one field, if shown, and the widest text it now shows.
    struct ColumnText
    {
        int column;
        QString text;
    };
    std::optional<ColumnText> changedColumnWidest() const;
    // Whether the column's values must never be cut, as a cut one reads as another value: numbers,
    // dates and times.
    bool keepsValuesWhole(int column) const;

    // How a column looks beyond its fixed definition; an invalid colour and no font mean the grid's.
    struct Look
    {
        QColor color;
        Qt::Alignment alignment;
        std::optional<QFont> font;
    };
    const Look& look(int c) const { return m_looks[static_cast<std::size_t>(c)]; }
    void setLook(int c, const Look& look);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // An editor is about to open: false (after editFailed) when the workspace refuses it.
    bool beginEditing();
    // Whether the column takes edits where the table may be written, and whether it may not be now.
    bool isEditableColumn(int c) const { return column(c).editable; }
    bool tableIsReadOnly() const;
    // The user tried to edit a table open only for reading: readOnlyEditRefused says why not.
    void refuseReadOnlyEdit();

Q_SIGNALS:
    // An in-place edit began or a value could not be stored (the text says why).
    void editStarted();
    void editFailed(const QString& message);
    // `reason`: why the table is open only for reading (protected, held by another program).
    void readOnlyEditRefused(const QString& reason);

private:
    workspace::Workspace& m_workspace;
    std::span<const ColumnSpec> m_columns;
    std::vector<Look> m_looks;
    table::RecordView m_rows; // the page's rows, in the table's order
};

} // namespace darni::view
