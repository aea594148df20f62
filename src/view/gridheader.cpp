// The column titles of a grid.
#include "gridheader.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QWidget>

#include <algorithm>

namespace darni::view {

namespace {
constexpr int kMargin = 3;
constexpr int kMarkSize = 7; // the sort mark's triangle, in pixels across
} // namespace

GridHeader::GridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsMovable(false);
    setSectionsClickable(true);
    setSectionResizeMode(QHeaderView::Interactive);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignCenter);
    connect(this, &QHeaderView::sectionClicked, this, &GridHeader::titleClicked);
    // Narrower columns may need more lines for their titles: the row's height follows.
    connect(this, &QHeaderView::sectionResized, this, [this] { updateGeometry(); });
}

TitleState GridHeader::titleState(int section) const
{
    const auto i = static_cast<std::size_t>(section);
    return section >= 0 && i < m_states.size() ? m_states[i] : TitleState::SortedNone;
}

void GridHeader::setTitleState(int section, TitleState state)
{
    if (section < 0)
        return;
    const auto i = static_cast<std::size_t>(section);
    if (i >= m_states.size())
        m_states.resize(i + 1, TitleState::SortedNone);
    m_states[i] = state;
    viewport()->update();
}

void GridHeader::clearTitleStates()
{
    m_states.clear();
    viewport()->update();
}

void GridHeader::mousePressEvent(QMouseEvent* event)
{
    m_clickModifiers = event->modifiers();
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent* event)
{
    // The click counts with the keys held when the button went down or came up.
    m_clickModifiers |= event->modifiers();
    QHeaderView::mouseReleaseEvent(event);
}

void GridHeader::titleClicked(int section)
{
    const auto next = titleStateAfterClick(titleState(section), m_clickModifiers);
    m_clickModifiers = {};
    if (!next)
        return;
    if (*next != TitleState::SortedNone)
        m_states.clear();
    setTitleState(section, *next);
    Q_EMIT titleStateChanged(section, *next);
}

int GridHeader::textWidthOf(int section) const
{
    const int markRoom = titleState(section) == TitleState::SortedNone ? 0 : kMarkSize + kMargin;
    return std::max(1, sectionSize(section) - 2 * kMargin - markRoom);
}

int GridHeader::linesOf(int section) const
{
    if (!model())
        return 0;
    const QString caption = model()->headerData(section, orientation(), Qt::DisplayRole).toString();
    const QRect needed = fontMetrics().boundingRect(QRect(0, 0, textWidthOf(section), QWIDGETSIZE_MAX),
                                                    Qt::AlignCenter | Qt::TextWordWrap, caption);
    return (needed.height() + fontMetrics().lineSpacing() - 1) / fontMetrics().lineSpacing();
}

QSize GridHeader::sizeHint() const
{
    QSize size = QHeaderView::sizeHint();
    int lines = kLines;
    for (int section = 0; section < count(); ++section) {
        if (!isSectionHidden(section))
            lines = std::max(lines, linesOf(section));
    }
    size.setHeight(fontMetrics().lineSpacing() * lines + 2 * kMargin + 2);
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
    const QString caption =
        model() ? model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString() : QString();
    painter->save();
    painter->setFont(font());
    painter->setPen(palette().color(QPalette::Active, QPalette::ButtonText));
    painter->setClipRect(rect);
    const int markRoom = titleState(logicalIndex) == TitleState::SortedNone ? 0 : kMarkSize + kMargin;
    painter->drawText(rect.adjusted(kMargin, kMargin, -kMargin - markRoom, -kMargin),
                      Qt::AlignCenter | Qt::TextWordWrap, caption);
    paintMark(painter, rect, titleState(logicalIndex));
    painter->restore();
}

void GridHeader::paintMark(QPainter* painter, const QRect& rect, TitleState state) const
{
    if (state == TitleState::SortedNone)
        return;
    // A triangle at the right: pointing down for a descending order, up for an ascending one.
    const int left = rect.right() - kMargin - kMarkSize;
    const int top = rect.center().y() - kMarkSize / 2;
    const int bottom = top + kMarkSize / 2 + 1;
    QPolygon triangle;
    if (state == TitleState::SortedUp)
        triangle << QPoint(left, top) << QPoint(left + kMarkSize, top) << QPoint(left + kMarkSize / 2, bottom);
    else
        triangle << QPoint(left, bottom) << QPoint(left + kMarkSize, bottom) << QPoint(left + kMarkSize / 2, top);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setBrush(palette().color(QPalette::Active, QPalette::ButtonText));
    painter->setPen(Qt::NoPen);
    painter->drawPolygon(triangle);
}

} // namespace darni::view
