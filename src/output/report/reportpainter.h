// Draws composed report pages on any paged device at A4 — a printer, the preview's printer, a PDF
// writer — converting report units to the device's resolution.
#pragma once

#include "pagecomposer.h"

#include <QPageRanges>

#include <functional>

class QPagedPaintDevice;
class QPainter;

namespace darni::output::report {

enum class PaintOutcome { Painted, DeviceRefused, Stopped };

// Sets the device to A4 in the layout's orientation without margins (positions are measured from the
// paper's corner) and draws the pages, those of `only` when it is not empty, each composed just before
// it is drawn and let go after it, so that a report of any length holds one page in memory.
// `progress` (pages done, pages in all) is asked after each page whether to go on. A printer may not
// take that setup: printing/reportprinter.h checks it first.
PaintOutcome paintReport(const PageByPageReport& report, QPagedPaintDevice& device, const QPageRanges& only = {},
                         const std::function<bool(int, int)>& progress = {});
// The same for pages composed before; false when the device cannot be painted on.
bool paintReport(const ComposedReport& report, QPagedPaintDevice& device, const QPageRanges& only = {});

// One composed page drawn with its top left corner at the painter's origin, `scale` device pixels to
// a report unit: for a preview that draws only the pages in view, at any zoom. The page is laid out as
// the PDF lays it out and scaled as a whole, so that the screen shows the printed page.
void paintReportPage(QPainter& painter, const ComposedPage& page, const ReportLayout& layout, double scale);

// The report as a PDF file of A4 pages, replacing one of that name only once the whole file is on the
// disk. Throws files::FileError naming the cause (a full disk, no permission); the old file then stays.
// False, with nothing written, when `progress` said stop.
bool writeReportPdf(const PageByPageReport& report, const QString& path,
                    const std::function<bool(int, int)>& progress = {});
void writeReportPdf(const ComposedReport& report, const QString& path);

} // namespace darni::output::report
