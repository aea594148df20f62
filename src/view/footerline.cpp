// The line under a grid's rows.
#include "footerline.h"

#include "gridview.h"
#include "measurementmodel.h"

#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

namespace darni::view {

namespace {
constexpr int kPadding = 6;
// Room beside a footer figure: the cell's borders and a little air on both sides.
constexpr int kFigurePadding = 10;
} // namespace

FooterLine::FooterLine(QTableView& grid, QWidget* parent) : QWidget(parent), m_grid(grid)
{
    setObjectName(QStringLiteral("Footer"));
    // The cells follow the columns as they are resized or scrolled.
    connect(m_grid.horizontalHeader(), &QHeaderView::sectionResized, this, qOverload<>(&QWidget::update));
    connect(m_grid.horizontalHeader(), &QHeaderView::geometriesChanged, this, qOverload<>(&QWidget::update));
    connect(m_grid.horizontalScrollBar(), &QScrollBar::valueChanged, this, qOverload<>(&QWidget::update));
}

void FooterLine::setText(table::Field field, const QString& text)
{
    m_texts[field] = text;
    // A figure is shown whole: its column is made wide enough for it ("120000", "24,8/36,9/52").
    const auto* model = qobject_cast<const MeasurementModel*>(m_grid.model());
    if (auto* grid = qobject_cast<GridView*>(&m_grid); grid && model) {
        const int column = model->columnOf(field);
        if (column >= 0)
            grid->requireFooterWidth(column, fontMetrics().horizontalAdvance(text) + kFigurePadding);
    }
    update();
}

QString FooterLine::text(table::Field field) const
{
    const auto it = m_texts.find(field);
    return it == m_texts.end() ? QString() : it->second;
}

void FooterLine::setHint(table::Field field, const QString& hint)
{
    m_hints[field] = hint;
}

QString FooterLine::toolTipOf(table::Field field) const
{
    const QString shown = text(field);
    if (shown.isEmpty())
        return {};
    const auto hint = m_hints.find(field);
    return hint == m_hints.end() ? shown : hint->second + QStringLiteral(": ") + shown;
}

bool FooterLine::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const auto* model = qobject_cast<const MeasurementModel*>(m_grid.model());
    const int column = m_grid.horizontalHeader()->logicalIndexAt(help->pos().x() - m_grid.viewport()->x());
    const QString tip = model && column >= 0 ? toolTipOf(model->column(column).field) : QString();
    if (tip.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), tip, this);
    return true;
}

void FooterLine::clear()
{
    m_texts.clear();
    update();
}

QSize FooterLine::sizeHint() const
{
    return {QWidget::sizeHint().width(), fontMetrics().height() + kPadding};
}

void FooterLine::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    const auto* model = qobject_cast<const MeasurementModel*>(m_grid.model());
    if (!model)
        return;
    const QHeaderView* header = m_grid.horizontalHeader();
    const int origin = m_grid.viewport()->x();
    for (int c = 0; c < model->columnCount(); ++c) {
        const QRect cell(origin + header->sectionViewportPosition(c), 0, header->sectionSize(c), height());
        // The grid's own line colour, as the style draws it from the palette.
        p.setPen(
            QColor(static_cast<QRgb>(m_grid.style()->styleHint(QStyle::SH_Table_GridLineColor, nullptr, &m_grid))));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        const QString t = text(model->column(c).field);
        if (!t.isEmpty()) {
            p.setPen(palette().color(QPalette::ButtonText));
            p.drawText(cell.adjusted(2, 0, -2, 0), Qt::AlignCenter, t);
        }
    }
}

} // namespace darni::view
