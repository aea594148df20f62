// The commands of darni-cli: each parses its arguments, gives the workspace the command and prints
// what it left.
#include "commands.h"

#include "headlesstransfer.h"
#include "pagecsv.h"

#include "decode/transferdecoding.h"
#include "files/usererror.h"
#include "output/csvexport.h"
#include "output/excelexport.h"
#include "output/report/reportpainter.h"
#include "printing/reportprinter.h"
#include "table/numbertext.h"
#include "table/recordkind.h"
#include "table/seriesspread.h"
#include "charts/pagecharts.h"
#include "output/chartdata.h"
#include "table/tablestatistics.h"
#include "transfer/transferfile.h"
#include "workspace/workspace.h"

#include <QCommandLineParser>
#include <QFile>
#include <QPageRanges>
#include <QPrinter>
#include <QTextStream>

#include <functional>
#include <set>

namespace darni::cli {

using namespace darni::table;
using workspace::KeepTransfer;
using workspace::Workspace;

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

int fail(const QString& message)
{
    err() << message << Qt::endl;
    return kFailure;
}

// Parses a command's options and positional arguments; nothing (after printing why) when they do not
// fit. --help prints the help and ends the process.
std::optional<QStringList> parse(QCommandLineParser& parser, const QStringList& arguments, const QString& description,
                                 const QStringList& positional)
{
    parser.setApplicationDescription(description);
    parser.addHelpOption();
    for (const QString& p : positional)
        parser.addPositionalArgument(p, p);
    parser.process(arguments);
    if (parser.positionalArguments().size() != positional.size()) {
        err() << parser.helpText();
        return std::nullopt;
    }
    return parser.positionalArguments();
}

enum class Access { Read, Write };

// Opens the table on the page the program would show, runs `body` and closes the table; the index file,
// if any, stays, as only the program's closing removes it. Commands that only read open the table
// only for reading: they change no byte of it and work on a table another program holds.
int onShownPage(const QString& path, Access access, const std::function<int(Workspace&)>& body)
{
    Workspace workspace;
    const bool opened = access == Access::Read ? workspace.openForReading(path) : workspace.openForWriting(path);
    if (!opened)
        return fail(workspace.openFailure());
    try {
        const int status = body(workspace);
        workspace.closeKeepingIndex();
        return status;
    } catch (const files::UserError& e) {
        workspace.closeKeepingIndex();
        return fail(e.message());
    }
}

// Before a transfer is taken: the table to append to opened (and locked), or the table to create
// known to be replaceable. Why not, when it is neither.
std::optional<QString> makeReady(Workspace& workspace, const QString& path, bool append)
{
    if (!append) {
        try {
            Workspace::checkCreatable(path);
        } catch (const files::UserError& e) {
            return e.message();
        }
        return std::nullopt;
    }
    if (!workspace.openForWriting(path))
        return workspace.openFailure();
    return std::nullopt;
}

// As "Создать" or "Дополнить" do once the transfer has ended well.
int takeTransfer(Workspace& workspace, const QString& path, const transfer::Transfer& received, bool append,
                 KeepTransfer keep)
{
    if (append) {
        for (const QString& message : workspace.append(received, keep))
            out() << decode::DecodeResult::messageCaption() << ": " << message << Qt::endl;
    } else {
        const int added = workspace.createFromTransfer(path, received, keep);
        out() << "Создана таблица " << path << ": записей " << added << Qt::endl;
    }
    workspace.close(false);
    return 0;
}

} // namespace

int receiveCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Add the records newer than the stored ones to TABLE.db, as "
                                                   "\"Дополнить\" does (else TABLE.db is created, as \"Создать\")."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Ask the instrument on DEVICE only (else COM1, then COM2)."),
                                  QStringLiteral("DEVICE"));
    const QCommandLineOption save(QStringLiteral("save-image"),
                                  QStringLiteral("Also keep the received transfer in FILE (for ornak-sim --image "
                                                 "and darni-cli decode)."),
                                  QStringLiteral("FILE"));
    parser.addOptions({append, port, save});
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Reads the instrument's memory and creates or extends a table."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;

    // What would stop the table taking the data is found before the instrument is asked.
    const QString path = positional->at(0);
    Workspace workspace;
    if (const auto refused = makeReady(workspace, path, parser.isSet(append)))
        return fail(*refused);

    HeadlessTransfer transfer(parser.value(port));
    const TransferOutcome outcome = transfer.run();
    if (!outcome.ok) {
        const QString message = outcome.message.isEmpty() ? QStringLiteral("Прием данных прерван.") : outcome.message;
        return fail(outcome.cause.isEmpty() ? message : message + QLatin1Char('\n') + outcome.cause);
    }
    const transfer::Transfer& received = transfer.received();
    if (parser.isSet(save)) {
        try {
            transfer::saveTransferFile(parser.value(save), received);
        } catch (const files::UserError& e) {
            err() << e.message() << Qt::endl;
        }
    }
    try {
        return takeTransfer(workspace, path, received, parser.isSet(append), KeepTransfer::Yes);
    } catch (const files::UserError& e) {
        // The message says where the transfer was kept; this says what to do with it.
        return fail(e.message() + QStringLiteral(" Таблицу из сохранённой передачи делает команда \"darni-cli decode\"."));
    }
}

int decodeCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Add the records newer than the stored ones to TABLE.db, as "
                                                   "\"Дополнить\" does (else TABLE.db is created, as \"Создать\")."));
    parser.addOption(append);
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Creates TABLE.db from a saved transfer, as \"Создать\" does "
                                                 "after a transfer, or appends its newer records."),
                                  {QStringLiteral("IMAGE"), QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    const QString& imagePath = positional->at(0);
    const QString& tablePath = positional->at(1);
    try {
        Workspace workspace;
        if (const auto refused = makeReady(workspace, tablePath, parser.isSet(append)))
            return fail(*refused);
        const transfer::SavedTransfer saved = Workspace::readSavedTransfer(imagePath);
        if (!saved.checksummed)
            err() << Workspace::uncheckedTransferWarning(imagePath) << Qt::endl;
        return takeTransfer(workspace, tablePath, saved.transfer, parser.isSet(append), KeepTransfer::No);
    } catch (const files::UserError& e) {
        return fail(e.message());
    }
}

int infoCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Row counts per kind, the statistics and the date range of a table."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        const workspace::TableSummary s = workspace.summary();
        const TableStatistics& f = workspace.statistics();
        const auto triple = [](double a, double b, double c) {
            return numberText(a) + QLatin1Char('/') + numberText(b) + QLatin1Char('/') + numberText(c);
        };
        out() << "Таблица: " << positional->at(0) << '\n'
              << "Строк " << pageTitle(RecordKind::Ultrasonic) << ": " << s.ultrasonic << '\n'
              << "Строк " << pageTitle(RecordKind::PullOff) << ": " << s.pullOff << '\n'
              << "Строк другого вида: " << s.other << '\n'
              << "Страница: " << pageTitle(workspace.page().value_or(RecordKind::Ultrasonic)) << ", строк "
              << s.pageRows << '\n'
              << "P (мин/сред/макс): " << triple(f.minP, f.meanP, f.maxP) << '\n'
              << "R (мин/сред/макс): " << triple(f.minR, f.meanR, f.maxR) << '\n'
              << "Даты: "
              << (s.earliest.isEmpty() ? QStringLiteral("нет") : s.earliest + QStringLiteral(" — ") + s.latest)
              << '\n';
        // The spread engineers report beside the mean, over the rows that have a value.
        const RecordView rows = workspace.pageRows();
        const auto spread = [](const QString& what, const SeriesSpread& x) {
            return QStringLiteral("%1: n %2, среднее %3, S %4, V %5 %")
                .arg(what)
                .arg(x.count)
                .arg(numberText(roundToTenth(x.mean)), numberText(roundToTenth(x.standardDeviation)),
                     numberText(roundToTenth(x.variationPercent)));
        };
        out() << spread(QStringLiteral("Скорость УЗК, м/с"), spreadOf(rows, Field::D9)) << '\n'
              << spread(QStringLiteral("Прочность, МПа"), spreadOf(rows, Field::P2)) << Qt::endl;
        return 0;
    });
}

int dumpCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption excel(QStringLiteral("excel"),
                                   QStringLiteral("Write what \"Экспорт в CSV\" writes instead: the export's sixteen "
                                                  "columns, \";\" between values, decimal commas, a byte order mark."));
    parser.addOption(excel);
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Writes the rows of the page the program shows as UTF-8 CSV."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        if (parser.isSet(excel)) {
            out().flush();
            QFile standardOutput;
            if (!standardOutput.open(stdout, QIODevice::WriteOnly))
                return fail(QStringLiteral("Стандартный вывод недоступен."));
            standardOutput.write(output::pageCsv(workspace.pageRows()));
            return 0;
        }
        writePageCsv(workspace.pageRows(), out());
        out().flush();
        return 0;
    });
}

int sortCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption descending(QStringLiteral("descending"), QStringLiteral("Sort in descending order."));
    parser.addOption(descending);
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Sorts the page by FIELD through the tag \"tab1\", as a click on a "
                                                 "column title does, and writes its rows as CSV. The index file "
                                                 "stays beside the table."),
                                  {QStringLiteral("TABLE.db"), QStringLiteral("FIELD")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Write, [&](Workspace& workspace) {
        const Field field = DbfTable::fieldNamed(positional->at(1).toStdString());
        workspace.sortBy(workspace.page().value_or(RecordKind::Ultrasonic), field, parser.isSet(descending));
        writePageCsv(workspace.pageRows(), out());
        out().flush();
        return 0;
    });
}

int exportCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Exports the page the program shows to an Excel 97-2003 workbook, "
                                                 "as \"Экспорт в Excel\" does, or, for a name ending in .xlsx, to "
                                                 "an Excel 2007+ workbook in the page's order, as \"Экспорт в Excel "
                                                 "2007+ (.xlsx)\" does. An existing file is replaced."),
                                  {QStringLiteral("TABLE.db"), QStringLiteral("OUT.xls|OUT.xlsx")});
    if (!positional)
        return kUsage;
    const bool xlsx = positional->at(1).endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive);
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        if (xlsx)
            workspace.exportPageXlsx(positional->at(1));
        else
            workspace.exportPage(positional->at(1));
        out() << output::exportSuccessMessage(positional->at(1)) << Qt::endl;
        return 0;
    });
}

int printCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption printerOption(QStringLiteral("printer"),
                                           QStringLiteral("Print on the queue NAME instead of writing a PDF file."),
                                           QStringLiteral("NAME"));
    const QCommandLineOption copiesOption(QStringLiteral("copies"), QStringLiteral("Copies to print (with --printer)."),
                                          QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption pagesOption(QStringLiteral("pages"),
                                         QStringLiteral("The pages to print, as \"2-5\" or \"1,3\" (with --printer)."),
                                         QStringLiteral("RANGES"));
    parser.addOptions({printerOption, copiesOption, pagesOption});
    parser.setApplicationDescription(QStringLiteral(
        "Prints the report of the page the program shows, in the grid's order: to a PDF file of A4 pages, or "
        "with --printer on a printer queue, checked as the window checks it (A4, the report's orientation)."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("TABLE.db"), QStringLiteral("TABLE.db"));
    parser.addPositionalArgument(QStringLiteral("OUT.pdf"), QStringLiteral("OUT.pdf, without --printer"));
    parser.process(arguments);
    const QStringList positional = parser.positionalArguments();
    const bool toPrinter = parser.isSet(printerOption);
    if (positional.size() != (toPrinter ? 1 : 2)) {
        err() << parser.helpText();
        return kUsage;
    }
    bool copiesOk = false;
    const int copies = parser.value(copiesOption).toInt(&copiesOk);
    if (!copiesOk || copies < 1)
        return fail(QStringLiteral("\"%1\" — не число копий.").arg(parser.value(copiesOption)));
    const QPageRanges pages = QPageRanges::fromString(parser.value(pagesOption));
    if (parser.isSet(pagesOption) && pages.isEmpty())
        return fail(QStringLiteral("\"%1\" — не диапазон страниц.").arg(parser.value(pagesOption)));

    return onShownPage(positional.at(0), Access::Read, [&](Workspace& workspace) {
        const auto report = workspace.composeReport();
        if (!report)
            return fail(QStringLiteral("Не удалось составить отчет."));
        if (!toPrinter) {
            output::report::writeReportPdf(*report, positional.at(1));
            out() << "Страниц: " << report->pages.size() << Qt::endl;
            return 0;
        }
        QPrinter printer(QPrinter::HighResolution);
        if (const auto missing = printing::usePrinterNamed(printer, parser.value(printerOption)))
            return fail(*missing);
        printer.setCopyCount(copies);
        printer.setPageRanges(pages);
        if (const auto refused = printing::printReport(*report, printer))
            return fail(*refused);
        out() << "Отправлено на принтер " << parser.value(printerOption) << ": страниц " << report->pages.size()
              << Qt::endl;
        return 0;
    });
}

int deleteCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption rows(QStringLiteral("rows"),
                                  QStringLiteral("The rows to delete, by their number N as the page shows it."),
                                  QStringLiteral("N[,N...]"));
    parser.addOption(rows);
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Deletes rows of the page the program shows, as \"Удалить строки\" "
                                                 "does: the table is replaced in one step by a copy without them."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    std::set<double> wanted;
    for (const QString& part : parser.value(rows).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double number = part.trimmed().toDouble(&ok);
        if (!ok)
            return fail(QStringLiteral("\"%1\" — не номер строки.").arg(part));
        wanted.insert(number);
    }
    if (wanted.empty()) {
        err() << parser.helpText();
        return kUsage;
    }
    return onShownPage(positional->at(0), Access::Write, [&](Workspace& workspace) {
        const RecordView rows = workspace.pageRows();
        std::vector<std::uint32_t> slots;
        std::set<double> found;
        for (int row = 0; row < rows.size(); ++row) {
            const auto number = rows.number(row, Field::N);
            if (number && wanted.count(*number)) {
                slots.push_back(rows.slotAt(row));
                found.insert(*number);
            }
        }
        for (const double number : wanted) {
            if (!found.count(number))
                return fail(QStringLiteral("На странице нет строки с номером %1; ничего не удалено.").arg(numberText(number)));
        }
        workspace.deleteRows(slots);
        out() << "Удалено строк: " << slots.size() << Qt::endl;
        return 0;
    });
}

int renumberCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Numbers the rows of the page the program shows 1, 2, … in file "
                                                 "order, as \"Перенумеровать строки\" does, through a copy that "
                                                 "replaces the table in one step."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Write, [](Workspace& workspace) {
        workspace.renumber();
        out() << "Перенумеровано строк: " << workspace.pageRows().size() << Qt::endl;
        return 0;
    });
}

int chartCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Draws the charts of the page the program shows, as \"Вид → "
                                                 "Графики\" does: velocity and strength along the rows, the "
                                                 "strength's histogram, velocity against strength. OUT.png stacks "
                                                 "them in one picture, OUT.pdf gives each a page."),
                                  {QStringLiteral("TABLE.db"), QStringLiteral("OUT.png|OUT.pdf")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        const output::ChartData data = output::chartDataOf(workspace.pageRows());
        charts::saveCharts(data, positional->at(1));
        out() << "Графики записаны в " << positional->at(1) << Qt::endl;
        return 0;
    });
}

int undoCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Puts TABLE.db back as it was before the last delete, renumber or "
                                                 "append done to it, as \"Правка → Отменить\" does; once."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    try {
        Workspace::undoClosed(positional->at(0));
    } catch (const files::UserError& e) {
        return fail(e.message());
    }
    out() << "Последняя команда отменена." << Qt::endl;
    return 0;
}

} // namespace darni::cli
