// One grid of the main window: the page's rows under two-line column titles with sort marks, silver
// grid lines, columns fitted to the width in the proportions of their own widths and resizable,
// several rows markable at once, no row insertion. A marked row's P and R are kept as they were when
// it was marked, for the footer's figures.
#pragma once

#include "gridheader.h"
#include "gridlayout.h"
#include "measurementmodel.h"

#include "table/tablestatistics.h"

#include <QTableView>

#include <cstdint>
#include <map>
#include <vector>

namespace darni::view {

class GridView : public QTableView
{
    Q_OBJECT
public:
    GridView(MeasurementModel& model, QWidget* parent = nullptr);

    MeasurementModel& measurementModel() { return m_model; }
    GridHeader& gridHeader() { return m_header; }

    // Every column as wide as the others (the grid's width shared out), then fitted to the grid.
    void equalizeColumns();
    // Every column as wide as its widest cell and the longest word of its title, the rest of the
    // grid's width shared out equally; a column of numbers is never narrower than its widest number.
    // For a table's first open, before the user has a layout of their own.
    void fitColumnsToContents();
    // The columns' own widths, before fitting them to the grid.
    const std::vector<int>& columnWidths() const { return m_widths; }
    // A footer figure under this column needs this width to show whole: the column never gets less.
    void requireFooterWidth(int column, int width);
    // Writes the value of an open cell editor to the table and closes the editor.
    void commitEdit();
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }

    // The marked rows, or the current row when none is marked: how many, and their slots in file order.
    int selectedRowCount() const;
    std::vector<std::uint32_t> selectedSlots() const;
    // P and R of the marked rows as they were when marked, in file order.
    std::vector<table::CapturedValues> capturedValues() const;

    GridLayout layout() const;
    // Columns matched by field name, letter case ignored; others are left as they are. Sets the sort
    // marks without raising titleStateChanged.
    void applyLayout(const GridLayout& layout);

    // The colour of the current cell's column; invalid for none of its own.
    QColor currentColumnColor() const;
    // False when there is no current column.
    bool setCurrentColumnColor(const QColor& color);
    void clearColumnColors();

Q_SIGNALS:
    // The marked rows or the current row changed: the footer's figures need rewriting.
    void selectionStatisticsChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void markedRowsChanged(const QItemSelection& selected, const QItemSelection& deselected);
    void fitColumns();
    // The least widths that show every number, date and time of the page whole, in the grid's font
    // as it is now; a stored layout never takes a column below them.
    void updateMinimumWidths();
    // The same from the page's widest texts, where the caller has measured them already.
    void updateMinimumWidths(const std::vector<QString>& widest);
    // The same for rows that are some of those measured last (RecordView::narrowedFrom).
    void keepMinimumWidthsOfNarrowedRows();
    void columnResized(int column, int oldWidth, int newWidth);
    void setColumnColor(int column, const QColor& color);

    MeasurementModel& m_model;
    GridHeader& m_header;
    std::vector<int> m_widths;                               // the columns' own widths
    std::vector<int> m_minimumWidths;                        // the widest numbers, dates, times
    std::uint64_t m_measuredRows = 0;                        // the rows the minimum widths were taken of
    std::map<int, int> m_footerWidths;                       // what each footer figure needs, by column
    std::map<std::uint32_t, table::CapturedValues> m_marked; // by slot, so in file order
    bool m_fitting = false;
};

} // namespace darni::view
