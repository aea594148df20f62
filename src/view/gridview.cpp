// One grid of the main window.
#include "gridview.h"

#include <QApplication>
#include "gridheader.h"

#include <QHeaderView>

namespace darni::view {

namespace {
const QString kGridStyle = QStringLiteral("QTableView { gridline-color: #c0c0c0; }");
} // namespace

GridView::GridView(MeasurementModel& model, QWidget* parent) : QTableView(parent), m_model(model)
{
    setHorizontalHeader(new GridHeader(this));
    setModel(&m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setStyleSheet(kGridStyle);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);

    verticalHeader()->hide();
}

void GridView::equalizeColumns()
{
    const int n = m_model.columnCount();
    if (n == 0)
        return;
    const int width = viewport()->width() / n;
    for (int c = 0; c < n; ++c)
        setColumnWidth(c, width);
}

void GridView::commitEdit()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget* editor = indexWidget(currentIndex());
    if (!editor)
        editor = QApplication::focusWidget();
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    equalizeColumns();
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool started = QTableView::edit(index, trigger, event);
    if (started && trigger != QAbstractItemView::NoEditTriggers)
        Q_EMIT m_model.editStarted();
    return started;
}

} // namespace darni::view
