// The column titles of a grid: two text lines high, captions wrapped within them.
#pragma once

#include <QHeaderView>

namespace darni::view {

class GridHeader : public QHeaderView
{
    Q_OBJECT
public:
    static constexpr int kLines = 2;

    explicit GridHeader(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};

} // namespace darni::view
