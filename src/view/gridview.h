// One grid of the main window: the page's rows under two-line column titles, silver grid lines,
// columns fitted to the width and resizable, several rows markable at once, no row insertion.
#pragma once

#include "measurementmodel.h"

#include <QTableView>

namespace darni::view {

class GridView : public QTableView
{
    Q_OBJECT
public:
    GridView(MeasurementModel& model, QWidget* parent = nullptr);

    MeasurementModel& measurementModel() { return m_model; }
    // Every column as wide as the others, together filling the grid.
    void equalizeColumns();
    // Writes the value of an open cell editor to the table and closes the editor.
    void commitEdit();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    MeasurementModel& m_model;
};

} // namespace darni::view
