// The pages of a report on screen, one under another, at a zoom: each page is composed when it comes
// into view and drawn straight onto the widget, so the first page of any table shows at once and a
// preview holds only the pages near the view, whatever the report's length.
#pragma once

#include "output/report/pagecomposer.h"

#include <QAbstractScrollArea>

#include <map>

namespace darni::app {

class ReportPageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    // The report outlives the view.
    explicit ReportPageView(const output::report::PageByPageReport& report, QWidget* parent = nullptr);

    void setZoomFactor(double factor);
    double zoomFactor() const { return m_zoom; }
    // The zoom at which a page fills the width, or is seen whole.
    void fitToWidth();
    void fitInView();
    int pageCount() const { return m_report.pageCount(); }
    // The page at the top of the view, from 1.
    int currentPage() const;
    void showPage(int number);
    // Pages composed and kept for drawing; a few around the view at most.
    int pagesHeld() const { return static_cast<int>(m_pages.size()); }

Q_SIGNALS:
    // A page further on than any drawn before was drawn (number from 1): the first page as soon as
    // it is on screen.
    void pageShown(int number);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Fit { None, Width, Page };

    double pixelsPerUnit() const;
    QSizeF pageSize() const;
    double pageStep() const;
    void applyFit();
    void updateScrollBars();
    const output::report::ComposedPage& pageAt(int index);
    void forgetPagesAwayFrom(int first, int last);

    const output::report::PageByPageReport& m_report;
    double m_zoom = 1.0;
    Fit m_fit = Fit::Width;
    std::map<int, output::report::ComposedPage> m_pages;
    int m_shownPages = 0; // pages drawn so far, for pageShown()
};

} // namespace darni::app
