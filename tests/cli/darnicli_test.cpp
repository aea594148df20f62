// darni-cli end to end: the instrument simulator on a pseudo-terminal, a transfer into a new table,
// an append after new measurements, and the table read back.
#include "support/dbffilebuilder.h"
#include "support/qtprinters.h"
#include "support/simulatorprocess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The settings darni-cli reads are those of a user of its own, in `configHome` (an empty one when not
// given), never the tester's.
CliRun cli(const QStringList& arguments, const QString& com1 = {}, const QString& configHome = {})
{
    static const QTemporaryDir noSettings;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.isEmpty() ? noSettings.path() : configHome);
    env.remove(QStringLiteral("DARNI_COM1"));
    if (!com1.isEmpty())
        env.insert(QStringLiteral("DARNI_COM1"), com1);
    env.insert(QStringLiteral("DARNI_COM2"), QStringLiteral("/nonexistent/com2"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DARNI_CLI), arguments);
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QStringList lines(const QString& csv)
{
    return csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class DarniCli : public ::testing::Test
{
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

TEST_F(DarniCli, ReceivedRowsMatchTheInstrumentsRecordsAndAppendAddsExactlyTheNewOnes)
{
    darni::testing::SimulatorProcess sim({QStringLiteral("--full-speed"), QStringLiteral("--records"),
                                          QStringLiteral("9,4"), QStringLiteral("--append-after-transfer"),
                                          QStringLiteral("3"), QStringLiteral("--dump-image"), path("served.img")});
    ASSERT_TRUE(sim.started());

    const CliRun received =
        cli({QStringLiteral("receive"), QStringLiteral("--save-image"), path("got.img"), path("t.db")}, sim.device());
    ASSERT_EQ(received.exitCode, 0) << received.err.toStdString();
    EXPECT_TRUE(received.out.contains(QStringLiteral("записей 13")));
    EXPECT_FALSE(received.err.contains(QLatin1Char('%'))) << "progress only goes to a terminal";

    // The same memory decoded from the simulator's own copy gives the same rows.
    ASSERT_EQ(cli({QStringLiteral("decode"), path("served.img"), path("expected.db")}).exitCode, 0);
    const QString rows = cli({QStringLiteral("dump"), path("t.db")}).out;
    EXPECT_EQ(rows, cli({QStringLiteral("dump"), path("expected.db")}).out);
    EXPECT_EQ(lines(rows).size(), 1 + 13);
    EXPECT_EQ(lines(rows).first().split(QLatin1Char(',')).size(), 37);
    // What receive saved decodes to the same table too.
    ASSERT_EQ(cli({QStringLiteral("decode"), path("got.img"), path("again.db")}).exitCode, 0);
    EXPECT_EQ(cli({QStringLiteral("dump"), path("again.db")}).out, rows);

    // The instrument measured three more; append takes exactly those.
    const CliRun appended = cli({QStringLiteral("receive"), QStringLiteral("--append"), QStringLiteral("--save-image"),
                                 path("grown.img"), path("t.db")},
                                sim.device());
    ASSERT_EQ(appended.exitCode, 0) << appended.err.toStdString();
    EXPECT_TRUE(appended.out.contains(QStringLiteral("Добавлено записей: 2"))) << appended.out.toStdString();
    EXPECT_TRUE(appended.out.contains(QStringLiteral("Добавлено записей в \"ОРНАК\": 1")));
    EXPECT_EQ(lines(cli({QStringLiteral("dump"), path("t.db")}).out).size(), 1 + 16);

    // The same memory once more adds nothing.
    darni::testing::SimulatorProcess same(
        {QStringLiteral("--full-speed"), QStringLiteral("--image"), path("grown.img")});
    ASSERT_TRUE(same.started());
    const CliRun repeated = cli({QStringLiteral("receive"), QStringLiteral("--append"), path("t.db")}, same.device());
    EXPECT_TRUE(repeated.out.contains(QStringLiteral("Добавлено записей: 0"))) << repeated.out.toStdString();
    EXPECT_TRUE(repeated.out.contains(QStringLiteral("Добавлено записей в \"ОРНАК\": 0")));
    EXPECT_EQ(lines(cli({QStringLiteral("dump"), path("t.db")}).out).size(), 1 + 16);
}

TEST_F(DarniCli, ReceiveAsksThePortChosenInTheProgramAndKeepsTheTransferBesideTheTable)
{
    darni::testing::SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("5,2")});
    ASSERT_TRUE(sim.started());
    // "Порт прибора…" chose the simulator's device for COM1; the environment names none.
    const QString configHome = path("config");
    ASSERT_TRUE(QDir().mkpath(configHome + QStringLiteral("/Velmark")));
    QFile settings(configHome + QStringLiteral("/Velmark/DARNI.conf"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[1.0]\nPort_COM1=" + sim.device().toUtf8() + "\n");
    settings.close();

    const CliRun r = cli({QStringLiteral("receive"), path("t.db")}, {}, configHome);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("записей 7"))) << r.out.toStdString();
    const QString archive = m_dir.filePath(QStringLiteral("Передачи"));
    const QStringList kept = QDir(archive).entryList({QStringLiteral("t-*.ornakimg")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(r.out.contains(kept.front())) << "the output says where: " << r.out.toStdString();
    // What was kept makes the same table again.
    const CliRun again = cli({QStringLiteral("decode"), archive + QLatin1Char('/') + kept.front(), path("u.db")});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains(QStringLiteral("записей 7")));
}

TEST_F(DarniCli, AFailedTransferCreatesNothingAndSaysWhy)
{
    darni::testing::SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--device-type"), QStringLiteral("15")});
    ASSERT_TRUE(sim.started());
    const CliRun r = cli({QStringLiteral("receive"), path("t.db")}, sim.device());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Вы подключили не тот прибор !")));
    EXPECT_FALSE(QFile::exists(path("t.db")));
}

TEST_F(DarniCli, APortThisUserMayNotOpenIsNamedWithTheRemedy)
{
    darni::testing::SimulatorProcess sim({QStringLiteral("--silent")});
    ASSERT_TRUE(sim.started());
    QStringList command{QStringLiteral(DARNI_CLI), QStringLiteral("receive"), path("t.db")};
    if (::geteuid() == 0) {
        // The administrator opens any device: the command runs as a user without rights instead.
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            GTEST_SKIP() << "setpriv is needed to drop the administrator's rights";
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                                QFileDevice::ReadOther | QFileDevice::WriteOther |
                                                QFileDevice::ExeOther);
        command = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"),
                              QStringLiteral("--regid=65534"), QStringLiteral("--clear-groups")} +
                  command;
    } else {
        ASSERT_TRUE(QFile::setPermissions(sim.device(), {}));
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DARNI_COM1"), sim.device());
    env.insert(QStringLiteral("DARNI_COM2"), path("no-such-port"));
    p.setProcessEnvironment(env);
    p.start(command.takeFirst(), command);
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Прибор не обнаружен!"))) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Порт COM1 (") + sim.device() + QStringLiteral("): нет прав")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("sudo usermod -aG"))) << err.toStdString();
    EXPECT_TRUE(
        err.contains(QStringLiteral("Порт COM2 (") + path("no-such-port") + QStringLiteral("): такого устройства нет")))
        << err.toStdString();
}

TEST_F(DarniCli, InfoSortAndRefusals)
{
    darni::testing::SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("6,0")});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(cli({QStringLiteral("receive"), path("t.db")}, sim.device()).exitCode, 0);

    const CliRun info = cli({QStringLiteral("info"), path("t.db")});
    EXPECT_EQ(info.exitCode, 0);
    EXPECT_TRUE(info.out.contains(QStringLiteral("Строк ОРНАК-ТР5: 6")));
    EXPECT_TRUE(info.out.contains(QStringLiteral("Страница: ОРНАК-ТР5, строк 6")));

    const CliRun sorted =
        cli({QStringLiteral("sort"), path("t.db"), QStringLiteral("TIME"), QStringLiteral("--descending")});
    ASSERT_EQ(sorted.exitCode, 0) << sorted.err.toStdString();
    QStringList times;
    for (const QString& line : lines(sorted.out).mid(1))
        times << line.split(QLatin1Char(','))[2];
    QStringList descending = times;
    std::sort(descending.begin(), descending.end(), std::greater<>());
    EXPECT_EQ(times, descending);
    EXPECT_TRUE(QFile::exists(path("t.mdx"))) << "the index file stays while the table counts as sorted";

    // A text wider than an index key sorts by its first 100 characters.
    const CliRun wide = cli({QStringLiteral("sort"), path("t.db"), QStringLiteral("P3")});
    EXPECT_EQ(wide.exitCode, 0) << wide.err.toStdString();
    EXPECT_EQ(lines(wide.out).size(), 1 + 6);

    darni::testing::SimulatorProcess unused({QStringLiteral("--silent")});
    QFile junk(path("junk.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("junk");
    junk.close();
    const CliRun damaged = cli({QStringLiteral("info"), path("junk.db")});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(damaged.err.contains(QStringLiteral("База данных повреждена !")));
    EXPECT_EQ(cli({QStringLiteral("nonsense")}).exitCode, 2);
    EXPECT_EQ(cli({QStringLiteral("info")}).exitCode, 2);
    EXPECT_EQ(cli({QStringLiteral("receive"), QStringLiteral("--help")}).exitCode, 0);
}

TEST_F(DarniCli, ExportWritesThePageInFileOrderForSpreadsheetReaders)
{
    darni::testing::SimulatorProcess sim(
        {QStringLiteral("--full-speed"), QStringLiteral("--records"), QStringLiteral("5,0")});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(cli({QStringLiteral("receive"), path("t.db")}, sim.device()).exitCode, 0);
    ASSERT_EQ(cli({QStringLiteral("sort"), path("t.db"), QStringLiteral("N"), QStringLiteral("--descending")}).exitCode,
              0);

    const CliRun exported = cli({QStringLiteral("export"), path("t.db"), path("t.xls")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_EQ(exported.out.trimmed(), QStringLiteral("Экспорт в файл t.xls завершен успешно."));

    QProcess python;
    python.start(QStringLiteral(DARNI_PYTHON), {QStringLiteral(DARNI_TEST_SCRIPTS "/xls_to_json.py"), path("t.xls")});
    ASSERT_TRUE(python.waitForFinished(60000));
    ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonObject sheet = QJsonDocument::fromJson(python.readAllStandardOutput())
                                  .object()[QStringLiteral("sheets")]
                                  .toArray()
                                  .at(0)
                                  .toObject();
    EXPECT_EQ(sheet[QStringLiteral("name")].toString(), QStringLiteral("ORNAK-ТР5"));
    const QJsonArray rows = sheet[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 6);
    EXPECT_EQ(rows.at(0).toArray().at(9).toArray().at(1).toString(), QStringLiteral("Время прохождения УЗК, Т, мкс."));
    for (int r = 1; r <= 5; ++r) {
        const QJsonArray n = rows.at(r).toArray().at(0).toArray();
        EXPECT_EQ(n.at(0).toString(), QStringLiteral("number"));
        EXPECT_EQ(n.at(1).toDouble(), r) << "file order, not the sort";
        EXPECT_EQ(rows.at(r).toArray().at(1).toArray().at(0).toString(), QStringLiteral("text")) << "the date";
    }

    const CliRun refused = cli({QStringLiteral("export"), path("t.db"), path("no/such/dir/t.xls")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("StgCreateDocFile error"))) << refused.err.toStdString();

    // The same page as an Excel 2007+ workbook, and its charts.
    const CliRun xlsx = cli({QStringLiteral("export"), path("t.db"), path("t.xlsx")});
    ASSERT_EQ(xlsx.exitCode, 0) << xlsx.err.toStdString();
    EXPECT_TRUE(darni::testing::readAll(path("t.xlsx")).startsWith("PK"));
    ASSERT_EQ(cli({QStringLiteral("chart"), path("t.db"), path("c.png")}).exitCode, 0);
    EXPECT_TRUE(darni::testing::readAll(path("c.png")).startsWith("\x89PNG"));
    ASSERT_EQ(cli({QStringLiteral("chart"), path("t.db"), path("c.pdf")}).exitCode, 0);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path("c.pdf")});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(
        QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression(QStringLiteral("Pages:\\s+3"))))
        << "a page for each chart";
    const CliRun wrongKind = cli({QStringLiteral("chart"), path("t.db"), path("c.svg")});
    EXPECT_EQ(wrongKind.exitCode, 1);
    EXPECT_TRUE(wrongKind.err.contains(QStringLiteral(".png или .pdf"))) << wrongKind.err.toStdString();
}

TEST_F(DarniCli, SpeaksRussianTellsItsVersionAndGivesInfoToPrograms)
{
    for (const QString& program : {QStringLiteral(DARNI_CLI), QStringLiteral(DARNI_SIMULATOR)}) {
        QProcess p;
        p.start(program, {QStringLiteral("--version")});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).trimmed().endsWith(QStringLiteral(" 1.0.0.0")))
            << program.toStdString();
    }
    // Every command's help in Russian, Qt's own lines included.
    const QRegularExpression cyrillic(QStringLiteral("[А-Яа-яЁё]"));
    for (const char* command :
         {"receive", "decode", "info", "dump", "sort", "export", "print", "delete", "renumber", "chart", "undo"}) {
        const CliRun help = cli({QString::fromLatin1(command), QStringLiteral("--help")});
        EXPECT_EQ(help.exitCode, 0) << command;
        const QStringList text = lines(help.out);
        ASSERT_GE(text.size(), 2) << command;
        EXPECT_TRUE(text[0].startsWith(QStringLiteral("Использование:"))) << command << ' ' << text[0].toStdString();
        EXPECT_TRUE(text[1].contains(cyrillic)) << command << ' ' << text[1].toStdString();
        EXPECT_FALSE(help.out.contains(QStringLiteral("Displays"))) << command;
    }

    darni::testing::SimulatorProcess sim({QStringLiteral("--silent"), QStringLiteral("--records"),
                                          QStringLiteral("8,3"), QStringLiteral("--dump-image"), path("t.img")});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(cli({QStringLiteral("decode"), path("t.img"), path("t.db")}).exitCode, 0);
    const CliRun text = cli({QStringLiteral("info"), path("t.db")});
    const CliRun json = cli({QStringLiteral("info"), QStringLiteral("--json"), path("t.db")});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    QJsonParseError error{};
    const QJsonObject info = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_EQ(info[QStringLiteral("rows")].toObject()[QStringLiteral("ultrasonic")].toInt(), 11);
    EXPECT_EQ(info[QStringLiteral("page")].toObject()[QStringLiteral("rows")].toInt(), 11);
    // The same figures as the text form, which writes them for a person: with a decimal comma.
    const auto figure = [](double x) {
        return QString::number(x, 'g', QLocale::FloatingPointShortest).replace(QLatin1Char('.'), QLatin1Char(','));
    };
    const QJsonObject p = info[QStringLiteral("p")].toObject();
    EXPECT_TRUE(text.out.contains(QStringLiteral("P (мин/сред/макс): ") + figure(p[QStringLiteral("min")].toDouble()) +
                                  QLatin1Char('/') + figure(p[QStringLiteral("mean")].toDouble()) + QLatin1Char('/') +
                                  figure(p[QStringLiteral("max")].toDouble())))
        << text.out.toStdString() << json.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Даты: ") + info[QStringLiteral("earliest")].toString() +
                                  QStringLiteral(" — ") + info[QStringLiteral("latest")].toString()));
    const QJsonObject velocity = info[QStringLiteral("spread")].toArray().at(0).toObject();
    EXPECT_EQ(velocity[QStringLiteral("field")].toString(), QStringLiteral("D9"));
    EXPECT_TRUE(text.out.contains(QStringLiteral("Скорость УЗК, м/с: n %1, среднее %2")
                                      .arg(velocity[QStringLiteral("n")].toInt())
                                      .arg(figure(velocity[QStringLiteral("mean")].toDouble()))))
        << text.out.toStdString() << json.out.toStdString();

    // The file's extension chooses the export's format, and no other is written.
    ASSERT_EQ(cli({QStringLiteral("export"), path("t.db"), path("t.csv")}).exitCode, 0);
    QProcess dump;
    dump.start(QStringLiteral(DARNI_CLI), {QStringLiteral("dump"), QStringLiteral("--excel"), path("t.db")});
    ASSERT_TRUE(dump.waitForFinished(60000));
    EXPECT_EQ(darni::testing::readAll(path("t.csv")), dump.readAllStandardOutput());
    const CliRun unknown = cli({QStringLiteral("export"), path("t.db"), path("t.txt")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral(".xls, .xlsx и .csv"))) << unknown.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("t.txt")));
}

TEST_F(DarniCli, ThePullOffPageTellsItsOwnFigures)
{
    // A table another program wrote with pull-off rows, and three ultrasonic rows before them.
    QProcess tool;
    tool.start(QStringLiteral(DARNI_PYTHON),
               {QStringLiteral(DARNI_PELTA_TABLE), path("p.db"), QStringLiteral("--rows"), QStringLiteral("12"),
                QStringLiteral("--ultrasonic"), QStringLiteral("3")});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    const CliRun text = cli({QStringLiteral("info"), path("p.db")});
    ASSERT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Строк ОРНАК-ТР5: 3"))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Строк ПЕЛТА2-ТР5: 12")));
    EXPECT_TRUE(text.out.contains(QStringLiteral("Страница: ПЕЛТА2-ТР5, строк 12")));
    EXPECT_TRUE(text.out.contains(QStringLiteral("Усилие P, кН: n 12, среднее "))) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("Прочность R, МПа: n 12, среднее ")));
    const QJsonArray spread =
        QJsonDocument::fromJson(cli({QStringLiteral("info"), QStringLiteral("--json"), path("p.db")}).out.toUtf8())
            .object()[QStringLiteral("spread")]
            .toArray();
    ASSERT_EQ(spread.size(), 2);
    EXPECT_EQ(spread[0].toObject()[QStringLiteral("field")].toString(), QStringLiteral("P"));
    EXPECT_EQ(spread[1].toObject()[QStringLiteral("field")].toString(), QStringLiteral("R"));
    ASSERT_EQ(cli({QStringLiteral("chart"), path("p.db"), path("p.png")}).exitCode, 0);

    // A series without a single value says so rather than giving a mean of 0.
    darni::testing::DbfFileBuilder(darni::testing::measurementFields()).record({{"N", "1"}}).writeTo(path("empty.db"));
    const CliRun none = cli({QStringLiteral("info"), path("empty.db")});
    EXPECT_TRUE(none.out.contains(QStringLiteral("Скорость УЗК, м/с: нет значений"))) << none.out.toStdString();
}

// The text of one page of a PDF, as Debian's pdftotext reads it.
QString pdfPageText(const QString& pdf, int page)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                          QString::number(page), QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(60000)) << "(tools/install-deps installs poppler-utils)";
    return QString::fromUtf8(p.readAllStandardOutput());
}

TEST_F(DarniCli, PrintMakesAPdfWithTheTitleOnPageOneAndHeadingsAndNumbersOnEvery)
{
    // 21 rows fit page 1 of the pull-off report and 23 each further page: 45 rows make three pages.
    darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
    for (int i = 1; i <= 45; ++i)
        b.record({{"N", std::to_string(i)}, {"NB_TYPE", "1"}, {"SERIAL", "517"}, {"P", "12.3"}});
    b.writeTo(path("pull.db"));

    const CliRun printed = cli({QStringLiteral("print"), path("pull.db"), path("pull.pdf")});
    ASSERT_EQ(printed.exitCode, 0) << printed.err.toStdString();
    EXPECT_TRUE(printed.out.contains(QStringLiteral("Страниц: 3")));

    const QString first = pdfPageText(path("pull.pdf"), 1);
    // pdftotext shows the title's two spaces as one.
    EXPECT_TRUE(first.contains(QStringLiteral("ПЕЛТА2-ТР5 № 517"))) << first.toStdString();
    EXPECT_TRUE(first.contains(QStringLiteral("P, кН")));
    EXPECT_TRUE(first.contains(QStringLiteral("12,30")));
    EXPECT_TRUE(first.contains(QStringLiteral("Стр. 1 из 3")));
    const QString second = pdfPageText(path("pull.pdf"), 2);
    EXPECT_TRUE(second.contains(QStringLiteral("Стр. 2 из 3"))) << second.toStdString();
    EXPECT_TRUE(second.contains(QStringLiteral("зависимости"))) << "the heading, wrapped in its cell";
    EXPECT_FALSE(second.contains(QStringLiteral("ПЕЛТА2-ТР5"))) << "the title on page 1 only";
    EXPECT_TRUE(pdfPageText(path("pull.pdf"), 3).contains(QStringLiteral("Стр. 3 из 3")));
}

} // namespace
