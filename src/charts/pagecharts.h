// The three charts of a page, drawn with Qt Charts from its chart data: the pulse velocity and the
// strength along the rows, the strength's histogram with its mean and ±1 standard deviation marked,
// and the velocity against the strength. Saved together as one PNG picture or a PDF page each.
#pragma once

#include "output/chartdata.h"

#include <QString>
#include <QtCharts/QChart>

#include <memory>

namespace darni::charts {

enum class PageChart { AlongRows, StrengthHistogram, VelocityAgainstStrength };
inline constexpr PageChart kPageCharts[] = {PageChart::AlongRows, PageChart::StrengthHistogram,
                                            PageChart::VelocityAgainstStrength};

// The chart's title, in the words of the page's series ("По строкам: скорость и прочность").
QString chartTitle(PageChart chart, const output::ChartData& data);
// Each series has its Russian name; each axis its title and a range that holds every point drawn.
std::unique_ptr<QChart> buildChart(PageChart chart, const output::ChartData& data);

// Saves all three charts to `path`: ".png" stacks them in one picture, ".pdf" gives each an A4 page.
// The file is replaced in one step. Throws files::UserError. Needs a QApplication (Qt Charts draws
// with widgets); "offscreen" will do.
void saveCharts(const output::ChartData& data, const QString& path);

} // namespace darni::charts
