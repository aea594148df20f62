// Reports on real printers: the page setup every queue must take before anything is painted (A4, the
// layout's orientation, positions measured from the paper's edge) and the print itself. A printer that
// cannot take the setup is named with the reason instead of printing a cut or shifted page.
#pragma once

#include "output/report/pagecomposer.h"

#include <QString>

#include <functional>

#include <optional>

class QPrinter;

namespace darni::printing {

// Makes the queue of that name the printer's; why not, in Russian, when there is no such queue (Qt
// would quietly take the default printer instead).
std::optional<QString> usePrinterNamed(QPrinter& printer, const QString& name);

// Sets the printer to A4 in the layout's orientation, full page (the layout's positions are measured
// from the paper's edge, whatever the printer's unprintable margins), and reads back what it took.
// Nothing when it took it all; else why not, in Russian, naming the printer.
std::optional<QString> preparePrinter(QPrinter& printer, const output::report::ReportLayout& layout);

// Prepares the printer and prints the report's pages in its page range (all when none), as many copies
// as it is set to, composing each page as it is printed. `progress` (pages done, pages in all) may stop
// it; the print job is then aborted. Nothing when printed or stopped; else why not, in Russian.
std::optional<QString> printReport(const output::report::PageByPageReport& report, QPrinter& printer,
                                   const std::function<bool(int, int)>& progress = {});

} // namespace darni::printing
