// The commands of darni-cli.
#include "commands.h"

#include "headlesstransfer.h"
#include "pagecsv.h"

#include "decode/recorddecoder.h"
#include "decode/stampseconds.h"
#include "link/imagefile.h"
#include "output/excelexport.h"
#include "output/report/pagecomposer.h"
#include "output/report/reportpainter.h"
#include "output/xls/xlserror.h"
#include "files/fileerror.h"
#include "table/cp1251.h"
#include "table/numbertext.h"
#include "table/recordkind.h"
#include "table/tabledocument.h"
#include "table/tableerror.h"
#include "table/tableorder.h"
#include "table/tablestatistics.h"

#include <QCommandLineParser>
#include <QTextStream>

#include <functional>
#include <set>
#include <limits>
#include <stdexcept>

namespace darni::cli {

using namespace darni::table;

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
// The tag that a title click on the ultrasonic page uses; "sort" does the same.
const QString kSortTag = sortTagOf(RecordKind::Ultrasonic);

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


// Keeps a received transfer that the table could not take and tells where, so nothing measured is lost.
int failKeepingTransfer(const QString& why, const QString& tablePath, const link::SavedTransfer& transfer)
{
    err() << why << '\n'
          << link::rescueTransferReport(tablePath, transfer) << " Таблицу из сохранённой передачи делает команда "
          << "\"darni-cli decode\"." << Qt::endl;
    return kFailure;
}

// As "Создать" does once the transfer has ended well.
int createFromTransfer(const QString& path, const decode::DeviceImage& image, const link::DeviceHeader& header)
{
    TableDocument document;
    document.setDeviceType(header.deviceType);
    int added = 0;
    document.create(path, [&](DbfTable& t) {
        const auto result = decode::flash2klivo(t, {image, header.recordCountA, header.surfaceBase},
                                                decode::DecodeMode::Create);
        added = result.addedFirstBlock + result.addedSecondBlock;
    });
    findMma(document.table());
    document.choosePage();
    out() << "Создана таблица " << path << ": записей " << added << Qt::endl;
    document.close(false);
    return 0;
}

// The sort tags go, as before every append and export.
void resetSorting(DbfTable& table)
{
    for (const RecordKind kind : {RecordKind::Ultrasonic, RecordKind::PullOff})
        resetOrder(table, sortTagOf(kind));
}

// Opens the table on the page the program would show, runs `body` and closes the table; the index file,
// if any, stays, as only the program's closing removes it. Commands that only read open the table
// only for reading: they change no byte of it and work on a table another program holds.
int onShownPage(const QString& path, DbfTable::Access access,
                const std::function<int(TableDocument&, TableDocument::Page)>& body)
{
    TableDocument document;
    if (!document.open(path, access))
        return fail(document.failureMessage());
    const auto page = document.choosePage().value_or(TableDocument::Page::Ultrasonic);
    document.readDeviceTypeFromPage();
    const int status = body(document, page);
    document.table().close();
    return status;
}

// Before a transfer is taken: the table to append to opened (and locked), or the table to create
// known to be replaceable. Why not, when it is neither.
std::optional<QString> makeReady(TableDocument& document, const QString& path, bool append)
{
    if (append)
        return document.open(path) ? std::nullopt : std::optional<QString>(document.failureMessage());
    try {
        DbfTable::checkReplaceable(path);
    } catch (const TableError& e) {
        return e.message();
    }
    return std::nullopt;
}

// As "Дополнить" does once the transfer has ended well, into the document opened before it began.
int appendFromTransfer(TableDocument& document, const decode::DeviceImage& image, const link::DeviceHeader& header)
{
    document.setDeviceType(header.deviceType);
    resetSorting(document.table());
    const auto result = decode::flash2klivo(document.table(), {image, header.recordCountA, header.surfaceBase},
                                            decode::DecodeMode::Append);
    for (const QString& message : result.messages)
        out() << decode::DecodeResult::messageCaption() << ": " << message << Qt::endl;
    document.appended();
    document.choosePage();
    findMma(document.table());
    document.close(false);
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
    TableDocument document;
    if (const auto refused = makeReady(document, path, parser.isSet(append)))
        return fail(*refused);

    HeadlessTransfer transfer(parser.value(port));
    const TransferOutcome outcome = transfer.run();
    if (!outcome.ok)
        return fail(outcome.message.isEmpty() ? QStringLiteral("Прием данных прерван.") : outcome.message);
    const auto bytes = transfer.image().bytes();
    const link::SavedTransfer received{transfer.header().payload, {bytes.begin(), bytes.end()}};
    if (parser.isSet(save)) {
        try {
            link::saveTransferFile(parser.value(save), received);
        } catch (const std::runtime_error& e) {
            err() << QString::fromUtf8(e.what()) << Qt::endl;
        }
    }
    try {
        return parser.isSet(append) ? appendFromTransfer(document, transfer.image(), transfer.header())
                                    : createFromTransfer(path, transfer.image(), transfer.header());
    } catch (const TableError& e) {
        return failKeepingTransfer(e.message(), path, received);
    } catch (const std::runtime_error& e) {
        return failKeepingTransfer(QString::fromUtf8(e.what()), path, received);
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
        TableDocument document;
        if (const auto refused = makeReady(document, tablePath, parser.isSet(append)))
            return fail(*refused);
        const link::SavedTransfer saved = link::loadTransferFile(imagePath);
        if (!saved.checksummed)
            err() << "Внимание: файл " << imagePath << " записан прежней версией программы без контрольной "
                  << "суммы, его целостность проверить нельзя." << Qt::endl;
        if (const auto problem = link::transferProblem(saved))
            return fail(QStringLiteral("Файл %1 не подходит: %2").arg(imagePath, *problem));
        decode::DeviceImage image;
        image.assign(saved.image);
        const auto header = link::DeviceHeader::fromPayload(saved.headerPayload);
        return parser.isSet(append) ? appendFromTransfer(document, image, header)
                                    : createFromTransfer(tablePath, image, header);
    } catch (const TableError& e) {
        return fail(e.message());
    } catch (const std::runtime_error& e) {
        return fail(QString::fromStdString(e.what()));
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
    TableDocument document;
    if (!document.open(positional->at(0), DbfTable::Access::ReadOnly))
        return fail(document.failureMessage());
    DbfTable& t = document.table();

    t.setFilter(RowFilter());
    int ultrasonic = 0;
    int pullOff = 0;
    int other = 0;
    for (bool ok = t.first(); ok; ok = t.next()) {
        const int kind = t.integer(Field::NB_TYPE);
        (kind == nbTypeOf(RecordKind::Ultrasonic) ? ultrasonic : kind == nbTypeOf(RecordKind::PullOff) ? pullOff : other)++;
    }
    const auto page = document.choosePage();
    document.readDeviceTypeFromPage();
    const TableStatistics s = findMma(t);
    std::int64_t earliest = std::numeric_limits<std::int64_t>::max();
    std::int64_t latest = std::numeric_limits<std::int64_t>::min();
    QString from;
    QString to;
    for (bool ok = t.first(); ok; ok = t.next()) {
        const QString date = QString::fromLatin1(t.text(Field::DATE));
        const QString time = QString::fromLatin1(t.text(Field::TIME));
        const auto stamp = decode::stampSeconds(date, time);
        if (!stamp)
            continue;
        if (*stamp < earliest) {
            earliest = *stamp;
            from = date + QLatin1Char(' ') + time;
        }
        if (*stamp > latest) {
            latest = *stamp;
            to = date + QLatin1Char(' ') + time;
        }
    }
    const auto triple = [](double a, double b, double c) {
        return numberText(a) + QLatin1Char('/') + numberText(b) + QLatin1Char('/') + numberText(c);
    };
    out() << "Таблица: " << positional->at(0) << '\n'
          << "Строк " << pageTitle(RecordKind::Ultrasonic) << ": " << ultrasonic << '\n'
          << "Строк " << pageTitle(RecordKind::PullOff) << ": " << pullOff << '\n'
          << "Строк другого вида: " << other << '\n'
          << "Страница: " << pageTitle(page.value_or(TableDocument::Page::Ultrasonic)) << ", строк " << t.count() << '\n'
          << "P (мин/сред/макс): " << triple(s.minP, s.meanP, s.maxP) << '\n'
          << "R (мин/сред/макс): " << triple(s.minR, s.meanR, s.maxR) << '\n'
          << "Даты: " << (from.isEmpty() ? QStringLiteral("нет") : from + QStringLiteral(" — ") + to) << Qt::endl;
    t.close(); // the index file, if any, stays: only the program's closing removes it
    return 0;
}

int dumpCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Writes the rows of the page the program shows as UTF-8 CSV."),
                                  {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), DbfTable::Access::ReadOnly, [](TableDocument& document, TableDocument::Page) {
        writePageCsv(document.table(), out());
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
    return onShownPage(positional->at(0), DbfTable::Access::ReadWrite, [&](TableDocument& document, TableDocument::Page) {
        try {
            const Field field = DbfTable::fieldNamed(positional->at(1).toStdString());
            sortByField(document.table(), kSortTag, field, parser.isSet(descending));
        } catch (const TableError& e) {
            return fail(e.message());
        }
        writePageCsv(document.table(), out());
        out().flush();
        return 0;
    });
}

int exportCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Exports the page the program shows to an Excel 97-2003 workbook, "
                                                 "as \"Экспорт в Excel\" does. An existing file is replaced."),
                                  {QStringLiteral("TABLE.db"), QStringLiteral("OUT.xls")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), DbfTable::Access::ReadOnly, [&](TableDocument& document, TableDocument::Page) {
        resetSorting(document.table());
        try {
            output::exportToExcel(document.table(), positional->at(1));
        } catch (const output::xls::XlsError& e) {
            return fail(e.message());
        } catch (const TableError& e) {
            return fail(e.message());
        }
        out() << output::exportSuccessMessage(positional->at(1)) << Qt::endl;
        return 0;
    });
}

int printCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional = parse(parser, arguments,
                                  QStringLiteral("Prints the report of the page the program shows, in the grid's "
                                                 "order, to a PDF file of A4 pages."),
                                  {QStringLiteral("TABLE.db"), QStringLiteral("OUT.pdf")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), DbfTable::Access::ReadOnly, [&](TableDocument& document, TableDocument::Page page) {
        const auto& layout = output::report::chooseReport(page, document.deviceType());
        std::optional<output::report::ComposedReport> report;
        try {
            report = output::report::composeReport(document.table(), layout);
        } catch (const TableError& e) {
            return fail(e.message());
        }
        if (!report)
            return fail(QStringLiteral("Не удалось составить отчет."));
        try {
            output::report::writeReportPdf(*report, positional->at(1));
        } catch (const files::FileError& e) {
            return fail(e.message());
        }
        out() << "Страниц: " << report->pages.size() << Qt::endl;
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
    return onShownPage(positional->at(0), DbfTable::Access::ReadWrite, [&](TableDocument& document, TableDocument::Page) {
        DbfTable& t = document.table();
        std::vector<std::uint32_t> slots;
        std::set<double> found;
        for (bool ok = t.first(); ok; ok = t.next()) {
            const auto number = t.number(Field::N);
            if (number && wanted.count(*number)) {
                slots.push_back(t.currentSlot());
                found.insert(*number);
            }
        }
        for (const double number : wanted) {
            if (!found.count(number))
                return fail(QStringLiteral("На странице нет строки с номером %1; ничего не удалено.").arg(numberText(number)));
        }
        try {
            document.deleteRows(slots);
        } catch (const TableError& e) {
            return fail(e.message());
        }
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
    return onShownPage(positional->at(0), DbfTable::Access::ReadWrite, [](TableDocument& document, TableDocument::Page) {
        try {
            document.renumberRows();
        } catch (const TableError& e) {
            return fail(e.message());
        }
        out() << "Перенумеровано строк: " << document.table().count() << Qt::endl;
        return 0;
    });
}

} // namespace darni::cli
