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
    void clear();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTableView& m_grid;
    std::map<table::Field, QString> m_texts;
};

} // namespace darni::view
