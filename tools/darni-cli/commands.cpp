// The commands of darni-cli: each parses its arguments, gives the workspace the command and prints
// what it left.
#include "commands.h"

#include "headlesstransfer.h"
#include "pagecsv.h"

#include "charts/pagecharts.h"
#include "decode/transferdecoding.h"
#include "files/fileerror.h"
#include "files/usererror.h"
#include "output/chartdata.h"
#include "output/csvexport.h"
#include "output/excelexport.h"
#include "output/report/reportpainter.h"
#include "printing/reportprinter.h"
#include "table/numbertext.h"
#include "table/recordkind.h"
#include "table/seriesspread.h"
#include "table/tablestatistics.h"
#include "transfer/transferfile.h"
#include "workspace/workspace.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QPageRanges>
#include <QPrinter>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <utility>

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

// Parses the options; false (after printing why) when they are not the command's. --help prints the
// help and ends the process with 0.
bool parseOptions(QCommandLineParser& parser, const QStringList& arguments)
{
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(arguments)) {
        err() << parser.errorText() << '\n' << parser.helpText();
        err().flush();
        return false;
    }
    if (parser.isSet(help)) {
        out() << parser.helpText();
        out().flush();
        std::exit(finishOutput(0));
    }
    if (parser.isSet(version)) {
        out() << versionText() << Qt::endl;
        std::exit(finishOutput(0));
    }
    return true;
}

// Parses a command's options and positional arguments; nothing (after printing why) when they do not
// fit, a usage error. --help prints the help and ends the process.
std::optional<QStringList> parse(QCommandLineParser& parser, const QStringList& arguments, const QString& description,
                                 const QStringList& positional)
{
    parser.setApplicationDescription(description);
    for (const QString& p : positional)
        parser.addPositionalArgument(p, p);
    if (!parseOptions(parser, arguments))
        return std::nullopt;
    if (parser.positionalArguments().size() != positional.size()) {
        err() << parser.helpText();
        return std::nullopt;
    }
    return parser.positionalArguments();
}

// Read: the table is opened only for reading. Write: for writing, or not at all. ReadOrMemory: for
// writing where it may be written, else for reading, the command then keeping its work in memory.
enum class Access { Read, Write, ReadOrMemory };

bool openIn(Workspace& workspace, const QString& path, Access access)
{
    switch (access) {
    case Access::Read:
        return workspace.openForReading(path);
    case Access::Write:
        return workspace.openForWriting(path);
    case Access::ReadOrMemory:
        return workspace.open(path);
    }
    return false;
}

// Closes the table as darni-cli leaves it: the index file, if any, stays, as only the program's closing
// removes it, and so does the undo copy. Says why the copy could not be kept.
void closeTable(Workspace& workspace)
{
    if (const auto warning = workspace.closeKeepingIndex())
        err() << *warning << Qt::endl;
}

// Opens the table on the page the program would show, runs `body` and closes the table. Commands that
// only read open the table only for reading: they change no byte of it and work on a table another
// program holds.
int onShownPage(const QString& path, Access access, const std::function<int(Workspace&)>& body)
{
    Workspace workspace;
    if (!openIn(workspace, path, access))
        return fail(workspace.openFailure());
    try {
        const int status = body(workspace);
        closeTable(workspace);
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
        if (workspace.canUndo())
            out() << "Прежняя таблица " << path << " сохранена как копия для отмены: ее вернет команда "
                  << "\"darni-cli undo " << path << "\"." << Qt::endl;
    }
    closeTable(workspace);
    return 0;
}

// "--append" of receive and decode: the table takes the newer records, as "Дополнить" does.
QCommandLineOption appendOption()
{
    return {QStringLiteral("append"),
            QStringLiteral("Добавить в TABLE.db записи новее хранящихся, как \"Дополнить\" (без этого TABLE.db "
                           "создается, как \"Создать\").")};
}

// As the window does, every transfer a table took is kept in "Передачи" beside it, so that nothing the
// instrument sent is lost; a failure to keep it is told, and the table stays as written.
void keepInArchive(const QString& tablePath, const transfer::Transfer& received)
{
    try {
        const QString kept =
            transfer::archiveTransfer(tablePath, transfer::encodeSavedTransfer(received), QDateTime::currentDateTime());
        out() << "Принятые данные сохранены в файле " << QDir::toNativeSeparators(kept) << Qt::endl;
    } catch (const files::UserError& e) {
        err() << transfer::archiveFailureMessage(e.message()) << Qt::endl;
    }
}

} // namespace

int receiveCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption append = appendOption();
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Искать прибор только на устройстве DEVICE (без этого на COM1, затем на COM2, с "
                       "устройствами, выбранными в программе командой \"Порт прибора…\")."),
        QStringLiteral("DEVICE"));
    const QCommandLineOption save(
        QStringLiteral("save-image"),
        QStringLiteral("Сохранить принятые данные еще и в файле FILE (для ornak-sim --image и darni-cli decode)."),
        QStringLiteral("FILE"));
    parser.addOptions({append, port, save});
    const auto positional = parse(
        parser, arguments, QStringLiteral("Принимает память прибора ОРНАК-ТР5 и создает таблицу или дополняет ее."),
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
    if (!outcome.ok()) {
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
        const int status = takeTransfer(workspace, path, received, parser.isSet(append), KeepTransfer::No);
        keepInArchive(path, received);
        return status;
    } catch (const files::UserError& e) {
        // Whatever failed once the data were in, they are kept; the message says where and what to do.
        return fail(e.message() + QLatin1Char('\n') + Workspace::keepTransfer(path, received) +
                    QStringLiteral(" Таблицу из сохранённой передачи делает команда \"darni-cli decode\"."));
    }
}

int decodeCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption append = appendOption();
    parser.addOption(append);
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Создает TABLE.db из сохраненной передачи, как \"Создать\" после приема, или добавляет ее "
                             "новые записи."),
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

namespace {
// A JSON number as a person would write it: the shortest digits that give the value back.
QString jsonNumber(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// A figure rounded to a tenth, with that one decimal at most, as the text form shows it.
QString jsonTenth(double value)
{
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(QStringLiteral(".0")))
        text.chop(2);
    return text == QStringLiteral("-0") ? QStringLiteral("0") : text;
}

QString jsonString(const QString& text)
{
    // QJsonValue escapes what JSON needs escaped; the array brackets around it are dropped.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// An object of members already written as JSON, in the order given.
QString jsonObject(const std::vector<std::pair<QString, QString>>& members, const QString& indent = {})
{
    const QString inner = indent + QStringLiteral("  ");
    QStringList lines;
    for (const auto& [key, value] : members)
        lines << inner + jsonString(key) + QStringLiteral(": ") + value;
    return QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QLatin1Char('\n') + indent + QLatin1Char('}');
}

// One series' spread; its figures null when the series has no value.
QString spreadJson(const output::ChartSeries& series, const SeriesSpread& x)
{
    const auto figure = [&x](double value) { return x.count == 0 ? QStringLiteral("null") : jsonTenth(value); };
    return jsonObject({{QStringLiteral("field"),
                        jsonString(QString::fromLatin1(fieldSpec(series.field).name.data(),
                                                       static_cast<qsizetype>(fieldSpec(series.field).name.size())))},
                       {QStringLiteral("title"), jsonString(QString::fromUtf16(series.title))},
                       {QStringLiteral("n"), QString::number(x.count)},
                       {QStringLiteral("mean"), figure(x.mean)},
                       {QStringLiteral("s"), figure(x.standardDeviation)},
                       {QStringLiteral("v_percent"), figure(x.variationPercent)}},
                      QStringLiteral("    "));
}

QString minMeanMax(double minimum, double mean, double maximum)
{
    return jsonObject({{QStringLiteral("min"), jsonNumber(minimum)},
                       {QStringLiteral("mean"), jsonNumber(mean)},
                       {QStringLiteral("max"), jsonNumber(maximum)}},
                      QStringLiteral("  "));
}

// What "info" tells, for programs: the same figures as the text, under stable English keys.
QString infoJson(const QString& path, const Workspace& workspace, const workspace::TableSummary& s,
                 const TableStatistics& f, const std::vector<std::pair<output::ChartSeries, SeriesSpread>>& spreads)
{
    QStringList spreadItems;
    for (const auto& [series, x] : spreads)
        spreadItems << QStringLiteral("    ") + spreadJson(series, x);
    const QString spreadArray =
        QStringLiteral("[\n") + spreadItems.join(QStringLiteral(",\n")) + QStringLiteral("\n  ]");
    const auto stamp = [](const QString& text) { return text.isEmpty() ? QStringLiteral("null") : jsonString(text); };
    const RecordKind page = workspace.page().value_or(RecordKind::Ultrasonic);
    const QString indent = QStringLiteral("  ");
    return jsonObject({
               {QStringLiteral("table"), jsonString(path)},
               {QStringLiteral("rows"), jsonObject({{QStringLiteral("ultrasonic"), QString::number(s.ultrasonic)},
                                                    {QStringLiteral("pull_off"), QString::number(s.pullOff)},
                                                    {QStringLiteral("other"), QString::number(s.other)}},
                                                   indent)},
               {QStringLiteral("page"),
                jsonObject(
                    {{QStringLiteral("kind"), jsonString(page == RecordKind::PullOff ? QStringLiteral("pull_off")
                                                                                     : QStringLiteral("ultrasonic"))},
                     {QStringLiteral("title"), jsonString(pageTitle(page))},
                     {QStringLiteral("rows"), QString::number(s.pageRows)}},
                    indent)},
               {QStringLiteral("p"), minMeanMax(f.minP, f.meanP, f.maxP)},
               {QStringLiteral("r"), minMeanMax(f.minR, f.meanR, f.maxR)},
               {QStringLiteral("earliest"), stamp(s.earliest)},
               {QStringLiteral("latest"), stamp(s.latest)},
               {QStringLiteral("spread"), spreadArray},
           }) +
           QLatin1Char('\n');
}
} // namespace

int infoCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Вывести те же сведения одним объектом JSON (для программ): числа — "
                                                 "числами, даты — строками \"ДД.ММ.ГГГГ ЧЧ:ММ:СС\" или null."));
    parser.addOption(json);
    const auto positional =
        parse(parser, arguments, QStringLiteral("Число строк каждого вида, статистика и даты таблицы."),
              {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        const workspace::TableSummary s = workspace.summary();
        const TableStatistics& f = workspace.statistics();
        const RecordView rows = workspace.pageRows();
        // The page's two series, as its charts draw them: velocity and strength, or force and strength.
        const output::PageSeries& series = output::seriesOf(workspace.page().value_or(RecordKind::Ultrasonic));
        const std::vector<std::pair<output::ChartSeries, SeriesSpread>> spreads = {
            {series.first, spreadOf(rows, series.first.field)}, {series.second, spreadOf(rows, series.second.field)}};
        if (parser.isSet(json)) {
            out() << infoJson(positional->at(0), workspace, s, f, spreads);
            return 0;
        }
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
              << (s.earliest.isEmpty() ? QStringLiteral("нет") : s.earliest + QStringLiteral(" — ") + s.latest) << '\n';
        // The spread engineers report beside the mean, over the rows that have a value.
        for (const auto& [which, x] : spreads) {
            const QString title = QString::fromUtf16(which.title);
            if (x.count == 0) {
                // No value at all is no mean of 0.
                out() << title << ": нет значений" << '\n';
                continue;
            }
            out() << QStringLiteral("%1: n %2, среднее %3, S %4, V %5 %")
                         .arg(title)
                         .arg(x.count)
                         .arg(numberText(roundToTenth(x.mean)), numberText(roundToTenth(x.standardDeviation)),
                              numberText(roundToTenth(x.variationPercent)))
                  << '\n';
        }
        out().flush();
        return 0;
    });
}

int dumpCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption excel(
        QStringLiteral("excel"),
        QStringLiteral("Вывести то, что пишет \"Экспорт в CSV\": шестнадцать столбцов экспорта, \";\" между "
                       "значениями, десятичные запятые, метку порядка байтов."));
    parser.addOption(excel);
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Выводит строки показываемой страницы в CSV (UTF-8) в порядке страницы: k-я строка после "
                             "заголовка — строка с позицией k, как ее понимает delete --rows."),
              {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        if (parser.isSet(excel)) {
            out().flush();
            QFile standardOutput;
            if (!standardOutput.open(stdout, QIODevice::WriteOnly))
                return fail(QStringLiteral("Стандартный вывод недоступен."));
            const QByteArray csv = output::pageCsv(workspace.pageRows());
            errno = 0;
            if (standardOutput.write(csv) != csv.size() || !standardOutput.flush())
                return fail(files::FileError::fromSystem(QStringLiteral("Не удалось записать вывод команды"),
                                                         QStringLiteral("(стандартный вывод)"), errno ? errno : EIO)
                                .message());
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
    const QCommandLineOption descending(QStringLiteral("descending"), QStringLiteral("Сортировать по убыванию."));
    parser.addOption(descending);
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Сортирует страницу по полю FIELD через тег \"tab1\", как щелчок по заголовку столбца, и "
                             "выводит ее строки в CSV. Индексный файл остается рядом с таблицей; таблицу только для "
                             "чтения сортирует в памяти."),
              {QStringLiteral("TABLE.db"), QStringLiteral("FIELD")});
    if (!positional)
        return kUsage;
    // A table that may not be written is sorted in memory, as the window sorts it: no index file.
    return onShownPage(positional->at(0), Access::ReadOrMemory, [&](Workspace& workspace) {
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
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Записывает показываемую страницу в файл, формат которого задает расширение: .xls — книга "
                             "Excel 97-2003, как \"Экспорт в Excel\"; .xlsx — книга Excel 2007+ в порядке страницы, "
                             "как \"Экспорт в Excel 2007+ (.xlsx)\"; .csv — как \"Экспорт в CSV\". Существующий файл "
                             "заменяется."),
              {QStringLiteral("TABLE.db"), QStringLiteral("OUT.xls|OUT.xlsx|OUT.csv")});
    if (!positional)
        return kUsage;
    const QString target = positional->at(1);
    // The file's name says what it holds: a workbook is never written under another format's name.
    using Export = void (Workspace::*)(const QString&);
    static const std::pair<QLatin1StringView, Export> kFormats[] = {
        {QLatin1StringView(".xls"), &Workspace::exportPage},
        {QLatin1StringView(".xlsx"), &Workspace::exportPageXlsx},
        {QLatin1StringView(".csv"), &Workspace::exportPageCsv},
    };
    const auto format = std::find_if(std::begin(kFormats), std::end(kFormats),
                                     [&](const auto& f) { return target.endsWith(f.first, Qt::CaseInsensitive); });
    if (format == std::end(kFormats)) {
        err() << QStringLiteral("Формат файла %1 неизвестен: darni-cli export пишет .xls, .xlsx и .csv.").arg(target)
              << Qt::endl;
        return kUsage;
    }
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        (workspace.*(format->second))(target);
        out() << output::exportSuccessMessage(target) << Qt::endl;
        return 0;
    });
}

int printCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption printerOption(QStringLiteral("printer"),
                                           QStringLiteral("Печатать на принтер NAME вместо файла PDF."),
                                           QStringLiteral("NAME"));
    const QCommandLineOption copiesOption(QStringLiteral("copies"), QStringLiteral("Число копий (с --printer)."),
                                          QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption pagesOption(
        QStringLiteral("pages"), QStringLiteral("Печатаемые страницы, например \"2-5\" или \"1,3\" (с --printer)."),
        QStringLiteral("RANGES"));
    parser.addOptions({printerOption, copiesOption, pagesOption});
    parser.setApplicationDescription(
        QStringLiteral("Печатает отчет показываемой страницы в порядке таблицы: в файл PDF из листов A4 или, с "
                       "--printer, на принтер, с той же проверкой, что и в программе (лист A4, ориентация "
                       "отчета)."));
    parser.addPositionalArgument(QStringLiteral("TABLE.db"), QStringLiteral("TABLE.db"));
    parser.addPositionalArgument(QStringLiteral("OUT.pdf"), QStringLiteral("OUT.pdf, without --printer"));
    if (!parseOptions(parser, arguments))
        return kUsage;
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
        const auto report = workspace.reportPages();
        if (!report)
            return fail(QStringLiteral("Не удалось составить отчет."));
        if (!toPrinter) {
            output::report::writeReportPdf(*report, positional.at(1));
            out() << "Страниц: " << report->pageCount() << Qt::endl;
            return 0;
        }
        QPrinter printer(QPrinter::HighResolution);
        if (const auto missing = printing::usePrinterNamed(printer, parser.value(printerOption)))
            return fail(*missing);
        printer.setCopyCount(copies);
        printer.setPageRanges(pages);
        if (const auto refused = printing::printReport(*report, printer))
            return fail(*refused);
        out() << "Отправлено на принтер " << parser.value(printerOption) << ": страниц " << report->pageCount()
              << Qt::endl;
        return 0;
    });
}

namespace {
// "3,5-7" as the numbers it names; nothing when a part is not a number or a range of them.
std::optional<std::vector<double>> numberList(const QString& text, bool ranges)
{
    std::vector<double> numbers;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.trimmed().split(QLatin1Char('-'));
        bool ok = false;
        const double first = ends.first().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
        if (ends.size() == 1) {
            numbers.push_back(first);
            continue;
        }
        bool lastOk = false;
        const double last = ends.size() == 2 ? ends.last().trimmed().toDouble(&lastOk) : 0;
        if (!ranges || !lastOk || last < first || first != std::trunc(first) || last != std::trunc(last))
            return std::nullopt;
        for (double n = first; n <= last; ++n)
            numbers.push_back(n);
    }
    return numbers;
}

} // namespace

int deleteCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption rows(
        QStringLiteral("rows"),
        QStringLiteral("Удаляемые строки по их позициям на странице: 1 — первая строка вывода dump и так далее; "
                       "диапазоны вида 5-9."),
        QStringLiteral("P[,P-Q...]"));
    const QCommandLineOption numbers(
        QStringLiteral("numbers"),
        QStringLiteral("Удаляемые строки по их номеру N. Нумерация N начинается заново в каждом блоке памяти, "
                       "поэтому номер, который есть у нескольких строк, отвергается с их позициями, если не "
                       "задано --all-matching."),
        QStringLiteral("N[,N...]"));
    const QCommandLineOption allMatching(QStringLiteral("all-matching"),
                                         QStringLiteral("С --numbers: удалить все строки с таким номером."));
    parser.addOptions({rows, numbers, allMatching});
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Удаляет строки показываемой страницы, как \"Удалить строки\": таблица за один шаг "
                             "заменяется копией без них."),
              {QStringLiteral("TABLE.db")});
    if (!positional)
        return kUsage;
    const bool byNumber = parser.isSet(numbers);
    if (byNumber == parser.isSet(rows) || (parser.isSet(allMatching) && !byNumber)) {
        err() << parser.helpText();
        return kUsage;
    }
    const QString listed = parser.value(byNumber ? numbers : rows);
    const auto wanted = numberList(listed, !byNumber);
    if (!wanted || wanted->empty()) {
        err() << QStringLiteral("\"%1\" — не список %2.")
                     .arg(listed, byNumber ? QStringLiteral("номеров строк") : QStringLiteral("позиций строк"))
              << Qt::endl;
        return kUsage;
    }
    return onShownPage(positional->at(0), Access::Write, [&](Workspace& workspace) {
        std::vector<std::uint32_t> slots;
        try {
            slots = byNumber ? workspace.rowsNumbered(*wanted, parser.isSet(allMatching))
                             : workspace.rowsAtPositions(*wanted);
        } catch (const workspace::RowChoiceError& e) {
            const bool several = e.cause() == workspace::RowChoiceError::Cause::NumberOnSeveralRows;
            return fail(e.message() + QStringLiteral("; ничего не удалено.") +
                        (several ? QStringLiteral(" Удалить все эти строки: --all-matching; одну из них: --rows "
                                                  "ПОЗИЦИЯ.")
                                 : QString()));
        }
        workspace.deleteRows(slots);
        out() << "Удалено строк: " << slots.size() << Qt::endl;
        return 0;
    });
}

int renumberCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Нумерует строки показываемой страницы 1, 2, … в порядке файла, как \"Перенумеровать "
                             "строки\", через копию, которая за один шаг заменяет таблицу."),
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
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Рисует графики показываемой страницы, как \"Вид → Графики\": скорость и прочность по "
                             "строкам, гистограмму прочности, скорость против прочности. OUT.png — все в одной "
                             "картинке, OUT.pdf — каждый на своей странице."),
              {QStringLiteral("TABLE.db"), QStringLiteral("OUT.png|OUT.pdf")});
    if (!positional)
        return kUsage;
    return onShownPage(positional->at(0), Access::Read, [&](Workspace& workspace) {
        output::ChartData data =
            output::chartDataOf(workspace.pageRows(), workspace.page().value_or(RecordKind::Ultrasonic));
        data.source = QFileInfo(positional->at(0)).fileName();
        charts::saveCharts(data, positional->at(1));
        out() << "Графики записаны в " << positional->at(1) << Qt::endl;
        return 0;
    });
}

int undoCommand(const QStringList& arguments)
{
    QCommandLineParser parser;
    const auto positional =
        parse(parser, arguments,
              QStringLiteral("Возвращает TABLE.db к виду до последней команды delete, renumber, дополнения или "
                             "создания таблицы на ее месте, как \"Правка → Отменить\"; один раз и только пока TABLE.db "
                             "такова, какой ее оставила эта команда."),
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

QString versionText()
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion();
}

int finishOutput(int status)
{
    // What went to standard output must have arrived: a full disk or a device error behind a
    // redirection is a failure, never a success.
    out().flush();
    errno = 0;
    const bool failed = out().status() != QTextStream::Ok || std::fflush(stdout) != 0 || std::ferror(stdout);
    if (!failed)
        return status;
    const int systemError = errno != 0 ? errno : ENOSPC;
    err() << files::FileError::fromSystem(QStringLiteral("Не удалось записать вывод команды"),
                                          QStringLiteral("(стандартный вывод)"), systemError)
                 .message()
          << Qt::endl;
    return status == 0 ? kFailure : status;
}

} // namespace darni::cli
