// darni-cli: the program's main job without its window, on the same core: receive from the
// instrument into a table, decode a saved transfer, and look at tables.
#include "commands.h"

#include "files/heaptuning.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTextStream>
#include <QTranslator>

#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <new>

namespace {

const char* const kUsage = R"(Использование: darni-cli КОМАНДА [параметры]

Команды:
  receive [--append] [--port DEVICE] [--save-image FILE] TABLE.db
                         прием данных из прибора ОРНАК-ТР5 в новую таблицу
                         (или дополнение таблицы с --append)
  decode [--append] IMAGE TABLE.db
                         таблица из сохраненной передачи (или дополнение с --append)
  info [--json] TABLE.db число строк, статистика и даты таблицы (с --json — в JSON)
  dump [--excel] TABLE.db
                         строки показываемой страницы в CSV (UTF-8); с --excel — как
                         "Экспорт в CSV" (";", десятичная запятая) для русского Excel
  sort TABLE.db FIELD [--descending]
                         сортировка страницы по полю, строки в CSV
  export TABLE.db OUT.xls|OUT.xlsx|OUT.csv
                         страница в книгу Excel 97-2003, как "Экспорт в Excel";
                         OUT.xlsx — в книгу Excel 2007+ без предела в 65 535 строк;
                         OUT.csv — как "Экспорт в CSV"
  print TABLE.db OUT.pdf отчет страницы в PDF, как "Печать"
  print --printer NAME [--copies N] [--pages 2-5] TABLE.db
                         отчет страницы на принтер NAME, с той же проверкой листа A4
                         и ориентации, что и в программе
  delete TABLE.db --rows P[,P-Q...] | --numbers N[,N...] [--all-matching]
                         удаление строк страницы, как "Удалить строки": по позиции
                         на странице (1 — первая строка вывода dump) или по номеру N
  renumber TABLE.db      перенумерация строк страницы, как "Перенумеровать строки"
  chart TABLE.db OUT.png|OUT.pdf
                         графики страницы, как "Вид → Графики"
  undo TABLE.db          таблица, какой она была до последней команды delete,
                         renumber или дополнения, как "Правка → Отменить" (один раз)

darni-cli КОМАНДА --help  подробнее о команде; darni-cli --version  версия.
Порты: COM1 и COM2 задаются переменными DARNI_COM1 и DARNI_COM2 (по умолчанию /dev/ttyS0, /dev/ttyS1).
)";

} // namespace

int main(int argc, char** argv)
{
    darni::files::keepLargeBuffersForReuse();
    // Printing measures and draws text, which takes a GUI application, and the charts are drawn by
    // graphics widgets, which take a widget application; no screen is needed for either.
    const bool printing = argc > 1 && std::strcmp(argv[1], "print") == 0;
    const bool charting = argc > 1 && std::strcmp(argv[1], "chart") == 0;
    if ((printing || charting) && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app;
    if (charting)
        app = std::make_unique<QApplication>(argc, argv);
    else if (printing)
        app = std::make_unique<QGuiApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("darni-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DARNI_VERSION));
    // Everything darni-cli says is Russian, Qt's own texts of its option parser too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);
    if (!qEnvironmentVariableIsSet("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(QStringLiteral("darni.*.info=false\ndarni.*.warning=false"));

    using Command = int (*)(const QStringList&);
    const std::map<QString, Command> commands = {
        {QStringLiteral("receive"), darni::cli::receiveCommand},
        {QStringLiteral("decode"), darni::cli::decodeCommand},
        {QStringLiteral("info"), darni::cli::infoCommand},
        {QStringLiteral("dump"), darni::cli::dumpCommand},
        {QStringLiteral("sort"), darni::cli::sortCommand},
        {QStringLiteral("export"), darni::cli::exportCommand},
        {QStringLiteral("print"), darni::cli::printCommand},
        {QStringLiteral("delete"), darni::cli::deleteCommand},
        {QStringLiteral("renumber"), darni::cli::renumberCommand},
        {QStringLiteral("undo"), darni::cli::undoCommand},
        {QStringLiteral("chart"), darni::cli::chartCommand},
    };
    QStringList arguments = QCoreApplication::arguments();
    const QString name = arguments.size() > 1 ? arguments.at(1) : QString();
    const auto command = commands.find(name);
    if (command == commands.end()) {
        if (name == QStringLiteral("--version")) {
            QTextStream(stdout) << darni::cli::versionText() << Qt::endl;
            return darni::cli::finishOutput(0);
        }
        const bool help = name == QStringLiteral("--help");
        QTextStream(help ? stdout : stderr) << QString::fromUtf8(kUsage);
        return help ? darni::cli::finishOutput(0) : 2;
    }
    arguments.removeAt(1);
    // Whatever a command meets, the user gets a sentence and an exit code, never an abort.
    try {
        return darni::cli::finishOutput(command->second(arguments));
    } catch (const std::bad_alloc&) {
        QTextStream(stderr) << QStringLiteral("Недостаточно памяти для этой команды.") << Qt::endl;
    } catch (const std::exception& e) {
        QTextStream(stderr) << QStringLiteral("Команда прервана: ") << QString::fromUtf8(e.what()) << Qt::endl;
    }
    return 1;
}
