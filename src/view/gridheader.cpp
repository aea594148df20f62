// The column titles of a grid.
#include "gridheader.h"

#include <QPainter>

namespace darni::view {

namespace {
constexpr int kMargin = 3;
} // namespace

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsMovable(false);
    setSectionsClickable(true);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(true);
    setDefaultAlignment(Qt::AlignCenter);
}

QSize GridHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    size.setHeight(fontMetrics().lineSpacing() * kLines + 2 * kMargin + 2);
    return size;
}

void GridHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    // The frame and background as the style draws them, then the caption wrapped on two lines.
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    const QString caption = model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString()
                                    : QString();
    painter->save();
    painter->setFont(font());
    painter->setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter->setClipRect(rect);
    painter->drawText(rect.adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::AlignCenter | Qt::TextWordWrap,
                      caption);
    painter->restore();
}

} // namespace darni::view
