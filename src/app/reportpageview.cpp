// The pages of a report on screen.
#include "reportpageview.h"

#include "output/report/reportlayout.h"
#include "output/report/reportpainter.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace darni::app {

namespace {
// Grey around and between the pages, in pixels.
constexpr int kGap = 12;
// Pages kept composed beyond those in view, so that scrolling back and forth composes nothing again.
constexpr int kPagesKeptAround = 4;
constexpr double kSmallestZoom = 0.05;
// One press of + or − zooms by this much.
constexpr double kZoomStep = 1.25;
const QColor kBackground(0x80, 0x80, 0x80);
} // namespace

ReportPageView::ReportPageView(const output::report::PageByPageReport& report, QWidget* parent)
    : QAbstractScrollArea(parent), m_report(report)
{
    setObjectName(QStringLiteral("PreviewPages"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
}

double ReportPageView::pixelsPerUnit() const
{
    return m_zoom * logicalDpiX() / output::report::kUnitsPerInch;
}

QSizeF ReportPageView::pageSize() const
{
    const auto& layout = m_report.layout();
    return {layout.pageWidth() * pixelsPerUnit(), layout.pageHeight() * pixelsPerUnit()};
}

double ReportPageView::pageStep() const
{
    return pageSize().height() + kGap;
}

void ReportPageView::setZoomFactor(double factor)
{
    m_fit = Fit::None;
    const int page = currentPage();
    m_zoom = std::max(factor, kSmallestZoom);
    updateScrollBars();
    // A zoom keeps the page in view.
    showPage(page);
}

void ReportPageView::fitToWidth()
{
    m_fit = Fit::Width;
    applyFit();
}

void ReportPageView::fitInView()
{
    m_fit = Fit::Page;
    applyFit();
}

void ReportPageView::applyFit()
{
    const int page = currentPage();
    const auto& layout = m_report.layout();
    const double perUnitAtOne = logicalDpiX() / output::report::kUnitsPerInch;
    const double byWidth = (viewport()->width() - 2.0 * kGap) / (layout.pageWidth() * perUnitAtOne);
    const double byHeight = (viewport()->height() - 2.0 * kGap) / (layout.pageHeight() * perUnitAtOne);
    if (m_fit == Fit::Width)
        m_zoom = std::max(byWidth, kSmallestZoom);
    else if (m_fit == Fit::Page)
        m_zoom = std::max(std::min(byWidth, byHeight), kSmallestZoom);
    updateScrollBars();
    showPage(page);
}

void ReportPageView::updateScrollBars()
{
    const QSizeF page = pageSize();
    const double total = kGap + pageCount() * pageStep();
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(std::ceil(total)) - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(std::max(1, viewport()->height() / 10));
    const int wide = static_cast<int>(std::ceil(page.width())) + 2 * kGap;
    horizontalScrollBar()->setRange(0, std::max(0, wide - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    viewport()->update();
}

int ReportPageView::currentPage() const
{
    const int index = static_cast<int>(std::floor((verticalScrollBar()->value() + pageStep() / 2) / pageStep()));
    return std::clamp(index + 1, 1, std::max(1, pageCount()));
}

void ReportPageView::showPage(int number)
{
    const int index = std::clamp(number, 1, std::max(1, pageCount())) - 1;
    verticalScrollBar()->setValue(static_cast<int>(std::lround(index * pageStep())));
    viewport()->update();
}

const output::report::ComposedPage& ReportPageView::pageAt(int index)
{
    auto it = m_pages.find(index);
    if (it == m_pages.end())
        it = m_pages.emplace(index, m_report.page(index)).first;
    return it->second;
}

void ReportPageView::forgetPagesAwayFrom(int first, int last)
{
    for (auto it = m_pages.begin(); it != m_pages.end();) {
        if (it->first < first - kPagesKeptAround || it->first > last + kPagesKeptAround)
            it = m_pages.erase(it);
        else
            ++it;
    }
}

void ReportPageView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kBackground);
    if (pageCount() == 0)
        return;
    const QSizeF page = pageSize();
    const double top = verticalScrollBar()->value();
    const double left = std::max(0.0, (viewport()->width() - page.width()) / 2) - horizontalScrollBar()->value();
    const int first = std::max(0, static_cast<int>(std::floor((top - kGap) / pageStep())));
    const int last = std::min(pageCount() - 1, static_cast<int>(std::floor((top + viewport()->height()) / pageStep())));
    for (int index = first; index <= last; ++index) {
        const QPointF corner(std::max(left, static_cast<double>(kGap) - horizontalScrollBar()->value()),
                             kGap + index * pageStep() - top);
        painter.fillRect(QRectF(corner, page), Qt::white);
        painter.save();
        painter.translate(corner);
        painter.setClipRect(QRectF(QPointF(0, 0), page));
        output::report::paintReportPage(painter, pageAt(index), m_report.layout(), pixelsPerUnit());
        painter.restore();
        if (index + 1 > m_shownPages) {
            m_shownPages = index + 1;
            Q_EMIT pageShown(index + 1);
        }
    }
    forgetPagesAwayFrom(first, last);
}

void ReportPageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_fit != Fit::None)
        applyFit();
    else
        updateScrollBars();
}

void ReportPageView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_PageDown:
        showPage(currentPage() + 1);
        return;
    case Qt::Key_PageUp:
        showPage(currentPage() - 1);
        return;
    case Qt::Key_Home:
        showPage(1);
        return;
    case Qt::Key_End:
        showPage(pageCount());
        return;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        setZoomFactor(m_zoom * kZoomStep);
        return;
    case Qt::Key_Minus:
        setZoomFactor(m_zoom / kZoomStep);
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

} // namespace darni::app
