// The column titles of a grid: two text lines high, captions wrapped within them, each with its sort
// mark, which a click moves on.
#pragma once

#include "titlestate.h"

#include <QHeaderView>

#include <vector>

namespace darni::view {

class GridHeader : public QHeaderView
{
    Q_OBJECT
public:
    // Lines a title row has at least; it grows to what the longest wrapped title needs.
    static constexpr int kLines = 2;

    explicit GridHeader(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    // Lines the title needs, wrapped at word boundaries within its column.
    int linesOf(int section) const;

    TitleState titleState(int section) const;
    // Sets a mark without raising titleStateChanged, as a stored layout or a reset does.
    void setTitleState(int section, TitleState state);
    void clearTitleStates();

Q_SIGNALS:
    // A click changed this title's mark (a plain click also cleared the other marks, silently).
    void titleStateChanged(int section, darni::view::TitleState state);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int textWidthOf(int section) const;
    void titleClicked(int section);
    void paintMark(QPainter* painter, const QRect& rect, TitleState state) const;

    std::vector<TitleState> m_states; // by section; sections beyond it are unmarked
    Qt::KeyboardModifiers m_clickModifiers;
};

} // namespace darni::view
