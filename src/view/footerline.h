// The line under a grid's rows: one cell per column, following the columns' widths, carrying the
// footer texts of the columns of P, R and N.
#pragma once

#include "columnset.h"

#include <QWidget>

#include <map>

class QTableView;

namespace darni::view {

class FooterLine : public QWidget
{
    Q_OBJECT
public:
    explicit FooterLine(QTableView& grid, QWidget* parent = nullptr);

    // The text of the column that shows this field; columns without one stay empty.
    void setText(table::Field field, const QString& text);
    QString text(table::Field field) const;
    // What the column's figures are, shown with the figures in full when the pointer rests on them.
    void setHint(table::Field field, const QString& hint);
    // The tooltip of the column that shows this field: its hint and its text.
    QString toolTipOf(table::Field field) const;
    void clear();

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTableView& m_grid;
    std::map<table::Field, QString> m_texts;
    std::map<table::Field, QString> m_hints;
};

} // namespace darni::view
