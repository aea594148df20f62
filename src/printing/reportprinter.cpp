// Reports on real printers.
#include "reportprinter.h"

#include "output/report/reportlayout.h"
#include "output/report/reportpainter.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

namespace darni::printing {

namespace {

QString printerName(const QPrinter& printer)
{
    return printer.printerName().isEmpty() ? QStringLiteral("по умолчанию") : printer.printerName();
}

} // namespace

bool offersA4(const QPrinter& printer)
{
    // A file rather than a queue takes any paper.
    if (printer.outputFormat() != QPrinter::NativeFormat)
        return true;
    const QPrinterInfo info(printer);
    const QList<QPageSize> sizes = info.supportedPageSizes();
    // Qt takes A4 on any queue, which then scales it to what it has: only the queue's own list tells.
    return info.supportsCustomPageSizes() || sizes.isEmpty() ||
           std::any_of(sizes.begin(), sizes.end(),
                       [](const QPageSize& size) { return size.isEquivalentTo(QPageSize(QPageSize::A4)); });
}

std::optional<QString> usePrinterNamed(QPrinter& printer, const QString& name)
{
    printer.setPrinterName(name);
    // Qt falls back to the default printer for a name it does not know; printing there would surprise.
    if (printer.outputFormat() != QPrinter::NativeFormat || printer.printerName() != name)
        return QStringLiteral("Принтер %1 не найден: отчет не напечатан.").arg(name);
    return std::nullopt;
}

std::optional<QString> preparePrinter(QPrinter& printer, const output::report::ReportLayout& layout)
{
    if (!printer.isValid())
        return QStringLiteral("Принтер %1 не найден: отчет не напечатан.").arg(printerName(printer));
    if (!offersA4(printer))
        return QStringLiteral("Принтер %1 не печатает на листах A4: отчет не напечатан, чтобы не вышли "
                              "обрезанные или уменьшенные страницы.")
            .arg(printerName(printer));
    // Paper and orientation are set on their own, keeping the printer's own margins: a layout without
    // margins is refused whole by every printer that cannot print to the edge. Full page puts the
    // painter's origin at the paper's corner all the same, so the report's positions hold.
    const QPageSize a4(QPageSize::A4);
    const auto orientation = layout.landscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    printer.setFullPage(true);
    printer.setPageSize(a4);
    printer.setPageOrientation(orientation);
    const QPageLayout taken = printer.pageLayout();
    if (!taken.pageSize().isEquivalentTo(a4))
        return QStringLiteral("Принтер %1 не печатает на листах A4 (он предлагает %2): отчет не напечатан, "
                              "чтобы не вышли обрезанные страницы.")
            .arg(printerName(printer), taken.pageSize().name());
    if (taken.orientation() != orientation || !printer.fullPage())
        return QStringLiteral("Принтер %1 не печатает в %2 ориентации: отчет не напечатан, чтобы не вышли "
                              "обрезанные страницы.")
            .arg(printerName(printer), layout.landscape ? QStringLiteral("альбомной") : QStringLiteral("книжной"));
    return std::nullopt;
}

std::optional<QString> printReport(const output::report::PageByPageReport& report, QPrinter& printer,
                                   const std::function<bool(int, int)>& progress)
{
    if (const auto refused = preparePrinter(printer, report.layout()))
        return refused;
    // A stop withdraws the job: the pages printed so far never reach the paper.
    const auto goOn = [&](int done, int pages) {
        if (!progress || progress(done, pages))
            return true;
        printer.abort();
        return false;
    };
    using output::report::PaintOutcome;
    if (output::report::paintReport(report, printer, printer.pageRanges(), goOn) == PaintOutcome::DeviceRefused)
        return QStringLiteral("Не удалось начать печать на принтере %1.").arg(printerName(printer));
    return std::nullopt;
}

} // namespace darni::printing
