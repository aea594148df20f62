// darni-cli on tables it must not harm: commands that only read change no byte and work on tables
// they cannot write; refusals name their cause before any instrument is asked; rows are deleted and
// renumbered by the numbers the page shows; damaged inputs end in a sentence, never a crash.
#include "support/dbffilebuilder.h"
#include "support/qtprinters.h"
#include "support/simulatorprocess.h"
#include "table/dbftable.h"
#include "transfer/transferfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>

namespace {

using darni::testing::readAll;

struct CliRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun cli(const QStringList& arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No instrument anywhere: a command that asked one would say so.
    env.insert(QStringLiteral("DARNI_COM1"), QStringLiteral("/nonexistent/com1"));
    env.insert(QStringLiteral("DARNI_COM2"), QStringLiteral("/nonexistent/com2"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(DARNI_CLI), arguments);
    EXPECT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << arguments.join(QLatin1Char(' ')).toStdString();
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

std::vector<double> numbersShown(const QString& csv)
{
    std::vector<double> numbers;
    for (const QString& line : csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1))
        numbers.push_back(line.split(QLatin1Char(',')).first().toDouble());
    return numbers;
}

class TableSafety : public ::testing::Test
{
protected:
    QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Five ultrasonic rows numbered 1 to 5.
    QByteArray writeTable(const char* name, std::optional<std::uint32_t> headerCount = {},
                          const QByteArray& tail = {}) const
    {
        darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
        for (int i = 1; i <= 5; ++i)
            b.record({{"N", std::to_string(i) + ".000000000"}, {"DATE", "01.02.2026"}, {"P", "12.5"}});
        if (headerCount)
            b.headerRecordCount(*headerCount);
        const QByteArray bytes = b.bytes() + tail;
        darni::testing::writeAll(path(name), bytes);
        return bytes;
    }

    QTemporaryDir m_dir;
};

TEST_F(TableSafety, CommandsThatOnlyReadChangeNoByteAndReadWhatTheyCannotWrite)
{
    // A count that disagrees with the file and zero bytes after the end mark: a writer would mend both.
    const QByteArray bytes = writeTable("t.db", 7, QByteArray(2300, '\0'));
    const QList<QStringList> commands = {
        {QStringLiteral("info"), path("t.db")},
        {QStringLiteral("dump"), path("t.db")},
        {QStringLiteral("export"), path("t.db"), path("t.xls")},
        {QStringLiteral("print"), path("t.db"), path("t.pdf")},
    };
    for (const QStringList& command : commands) {
        const CliRun run = cli(command);
        EXPECT_EQ(run.exitCode, 0) << command.first().toStdString() << ": " << run.err.toStdString();
        EXPECT_EQ(readAll(path("t.db")), bytes) << command.first().toStdString() << " changed the table";
    }
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out).size(), 5) << "the zero bytes are no rows";

    // Held by another writer, then read-only: still read, never written.
    {
        darni::table::DbfTable holder;
        holder.open(path("t.db"));
        const QByteArray held = readAll(path("t.db"));
        for (const QStringList& command : commands) {
            const CliRun run = cli(command);
            EXPECT_EQ(run.exitCode, 0) << command.first().toStdString()
                                       << " on a held table: " << run.err.toStdString();
        }
        EXPECT_EQ(readAll(path("t.db")), held);
    }
    QFile::setPermissions(path("t.db"), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray readOnly = readAll(path("t.db"));
    for (const QStringList& command : commands)
        EXPECT_EQ(cli(command).exitCode, 0) << command.first().toStdString() << " on a read-only table";
    EXPECT_EQ(readAll(path("t.db")), readOnly);

    // Sorting a table that may not be written sorts in memory, as the window does, and writes no index.
    const CliRun sorted =
        cli({QStringLiteral("sort"), path("t.db"), QStringLiteral("N"), QStringLiteral("--descending")});
    ASSERT_EQ(sorted.exitCode, 0) << sorted.err.toStdString();
    EXPECT_EQ(numbersShown(sorted.out), (std::vector<double>{5, 4, 3, 2, 1}));
    EXPECT_EQ(readAll(path("t.db")), readOnly);
    EXPECT_FALSE(QFile::exists(path("t.mdx")));
}

TEST_F(TableSafety, TablesThatCannotTakeATransferAreRefusedByCauseBeforeTheInstrumentIsAsked)
{
    writeTable("held.db");
    writeTable("readonly.db");
    QFile::setPermissions(path("readonly.db"), QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    darni::table::DbfTable holder;
    holder.open(path("held.db"));
    struct Case
    {
        const char* what;
        QStringList arguments;
        const char* cause;
    } const cases[] = {
        {"create onto a held table", {QStringLiteral("receive"), path("held.db")}, "занят другой программой"},
        {"append to a held table",
         {QStringLiteral("receive"), QStringLiteral("--append"), path("held.db")},
         "занят другой программой"},
        {"create onto a read-only table", {QStringLiteral("receive"), path("readonly.db")}, "только для чтения"},
        {"append to a missing table",
         {QStringLiteral("receive"), QStringLiteral("--append"), path("none.db")},
         "не найден"},
        {"create onto a folder", {QStringLiteral("receive"), m_dir.path()}, "папка"},
        {"decode onto a held table",
         {QStringLiteral("decode"), path("any.img"), path("held.db")},
         "занят другой программой"},
    };
    const QByteArray heldBytes = readAll(path("held.db"));
    for (const Case& c : cases) {
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.cause))) << c.what << ": " << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QStringLiteral("Ожидание"))) << c.what << ": the instrument was asked";
    }
    EXPECT_EQ(readAll(path("held.db")), heldBytes);
    EXPECT_EQ(QFile::permissions(path("readonly.db")) & QFileDevice::WriteOwner, 0);
}

TEST_F(TableSafety, SavedTransfersAreCheckedAndOddInputsEndInASentence)
{
    darni::testing::SimulatorProcess sim({QStringLiteral("--records"), QStringLiteral("3,2"),
                                          QStringLiteral("--dump-image"), path("good.img"),
                                          QStringLiteral("--silent")});
    ASSERT_TRUE(sim.started());
    darni::transfer::Transfer other = darni::transfer::loadTransferFile(path("good.img")).transfer;
    other.header.payload[1] = 0; // device type 0
    darni::transfer::saveTransferFile(path("other.img"), other);

    const struct
    {
        const char* what;
        QString image;
    } refusals[] = {
        {"a device of another type", path("other.img")},
        {"an endless device", QStringLiteral("/dev/zero")},
        {"a folder", m_dir.path()},
    };
    for (const auto& r : refusals) {
        const CliRun run = cli({QStringLiteral("decode"), r.image, path("t.db")});
        EXPECT_EQ(run.exitCode, 1) << r.what << ": " << run.err.toStdString();
        EXPECT_FALSE(run.err.isEmpty()) << r.what;
        EXPECT_FALSE(QFile::exists(path("t.db"))) << r.what;
    }
    ASSERT_EQ(cli({QStringLiteral("decode"), path("good.img"), path("t.db")}).exitCode, 0);

    // An index whose tag header page is near 2^32 once crashed every command.
    ASSERT_EQ(cli({QStringLiteral("sort"), path("t.db"), QStringLiteral("P")}).exitCode, 0);
    QByteArray index = readAll(path("t.mdx"));
    qToLittleEndian<quint32>(0xFFFFFFFF, index.data() + 544);
    darni::testing::writeAll(path("t.mdx"), index);
    const CliRun info = cli({QStringLiteral("info"), path("t.db")});
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains(QStringLiteral("Строк ОРНАК-ТР5: 5"))) << info.out.toStdString();
}

TEST_F(TableSafety, RowsAreDeletedByTheirPlaceOnThePageOrByAnUnambiguousNumber)
{
    // Two memory blocks: N starts again, so numbers 1 and 2 stand twice.
    darni::testing::DbfFileBuilder b(darni::testing::measurementFields());
    for (const int n : {1, 2, 3, 1, 2})
        b.record({{"N", std::to_string(n) + ".000000000"}, {"DATE", "01.02.2026"}});
    b.writeTo(path("t.db"));
    const QByteArray before = readAll(path("t.db"));

    struct Refusal
    {
        QStringList arguments;
        int exitCode;
        QString says;
    } const refusals[] = {
        {{QStringLiteral("--rows"), QStringLiteral("2,9")}, 1, QStringLiteral("нет строки 9")},
        {{QStringLiteral("--rows"), QStringLiteral("0")}, 1, QStringLiteral("нет строки 0")},
        {{QStringLiteral("--numbers"), QStringLiteral("7")}, 1, QStringLiteral("нет строки с номером 7")},
        {{QStringLiteral("--numbers"), QStringLiteral("1")}, 1, QStringLiteral("позиции 1, 4")},
        {{QStringLiteral("--rows"), QStringLiteral("x")}, 2, QStringLiteral("не список")},
        {{QStringLiteral("--rows"), QStringLiteral("1"), QStringLiteral("--numbers"), QStringLiteral("1")}, 2, {}},
        {{QStringLiteral("--no-such-option")}, 2, QStringLiteral("no-such-option")},
    };
    for (const auto& r : refusals) {
        const CliRun run = cli(QStringList{QStringLiteral("delete"), path("t.db")} + r.arguments);
        const std::string what = r.arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(run.exitCode, r.exitCode) << what << ' ' << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(r.says)) << what << ' ' << run.err.toStdString();
        EXPECT_EQ(readAll(path("t.db")), before) << what << ": a refused command changed the file";
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")}) << what;
    }

    const CliRun byPlace = cli({QStringLiteral("delete"), path("t.db"), QStringLiteral("--rows"), QStringLiteral("4")});
    ASSERT_EQ(byPlace.exitCode, 0) << byPlace.err.toStdString();
    EXPECT_TRUE(byPlace.out.contains(QStringLiteral("Удалено строк: 1")));
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 2, 3, 2}));
    const CliRun all = cli({QStringLiteral("delete"), path("t.db"), QStringLiteral("--numbers"), QStringLiteral("2"),
                            QStringLiteral("--all-matching")});
    ASSERT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 3}));

    ASSERT_EQ(cli({QStringLiteral("renumber"), path("t.db")}).exitCode, 0);
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 2}));
    EXPECT_EQ(readAll(path("t.db")).size(), 1217 + 2 * 1086 + 1);
    // Renumbering rows numbered so already has nothing to do: no byte changes, the copy stays.
    const QByteArray numbered = readAll(path("t.db"));
    const QByteArray copy = readAll(path("t.db.undo"));
    ASSERT_EQ(cli({QStringLiteral("renumber"), path("t.db")}).exitCode, 0);
    EXPECT_EQ(readAll(path("t.db")), numbered);
    EXPECT_EQ(readAll(path("t.db.undo")), copy);
    // The table as it was before the renumbering is kept for "undo", with the state it undoes.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files),
              (QStringList{QStringLiteral("t.db"), QStringLiteral("t.db.undo"), QStringLiteral("t.db.undo.state")}))
        << "no stray files";

    const CliRun undone = cli({QStringLiteral("undo"), path("t.db")});
    ASSERT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 3}));
    const CliRun again = cli({QStringLiteral("undo"), path("t.db")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("Нечего отменять"))) << again.err.toStdString();
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")});
}

TEST_F(TableSafety, AnUndoCopyPutsBackOnlyTheStateItWasTakenFor)
{
    const auto deleteFirstRow = [this] {
        writeTable("t.db");
        const CliRun run = cli({QStringLiteral("delete"), path("t.db"), QStringLiteral("--rows"), QStringLiteral("1")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    };
    struct Case
    {
        const char* what;
        std::function<void()> meanwhile; // what happens between the command and its undo
    } const cases[] = {
        {"another table made under the name", [this] { writeTable("t.db", std::nullopt, {}); }},
        {"the table written by another program",
         [this] {
             QFile f(path("t.db"));
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.seek(1217 + 20);
             f.write("9");
         }},
        {"a truncated copy",
         [this] {
             const QByteArray copy = readAll(path("t.db.undo"));
             QFile::remove(path("t.db.undo"));
             darni::testing::writeAll(path("t.db.undo"), copy.left(1217 + 1086 + 100));
         }},
        {"a copy without its state", [this] { QFile::remove(path("t.db.undo.state")); }},
    };
    for (const auto& c : cases) {
        deleteFirstRow();
        c.meanwhile();
        const QByteArray table = readAll(path("t.db"));
        const CliRun run = cli({QStringLiteral("undo"), path("t.db")});
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_TRUE(run.err.contains(QStringLiteral("Отменить нельзя"))) << c.what << ' ' << run.err.toStdString();
        EXPECT_EQ(readAll(path("t.db")), table) << c.what << ": the table was replaced";
        EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")})
            << c.what << ": the stale copy stays";
    }

    // An append keeps its copy as a delete does, and a table created over another keeps that one.
    writeTable("t.db");
    const QByteArray five = readAll(path("t.db"));
    const QString image = path("served.img");
    darni::testing::SimulatorProcess sim({QStringLiteral("--silent"), QStringLiteral("--records"),
                                          QStringLiteral("3,2"), QStringLiteral("--dump-image"), image});
    ASSERT_TRUE(sim.started());
    const CliRun created = cli({QStringLiteral("decode"), image, path("t.db")});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_TRUE(created.out.contains(QStringLiteral("darni-cli undo"))) << created.out.toStdString();
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out).size(), 5u);
    const CliRun undone = cli({QStringLiteral("undo"), path("t.db")});
    ASSERT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_EQ(readAll(path("t.db")), five);

    const CliRun appended = cli({QStringLiteral("decode"), QStringLiteral("--append"), image, path("t.db")});
    ASSERT_EQ(appended.exitCode, 0) << appended.err.toStdString();
    ASSERT_TRUE(QFile::exists(path("t.db.undo")));
    // The same transfer again has nothing new: no byte is written, and the first append's copy stays.
    const QByteArray withNew = readAll(path("t.db"));
    const CliRun again = cli({QStringLiteral("decode"), QStringLiteral("--append"), image, path("t.db")});
    ASSERT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains(QStringLiteral("Добавлено записей: 0"))) << again.out.toStdString();
    EXPECT_EQ(readAll(path("t.db")), withNew);
    ASSERT_EQ(cli({QStringLiteral("undo"), path("t.db")}).exitCode, 0);
    EXPECT_EQ(readAll(path("t.db")), five);
}

TEST_F(TableSafety, RowsPastTheHeaderCountAreKeptByEveryCommand)
{
    // The header counts 3 of 5 whole rows, as another program that stopped before its header left it.
    const QByteArray before = writeTable("t.db", 3u);
    const std::vector<double> all{1, 2, 3, 4, 5};
    for (const char* reader : {"info", "dump"}) {
        ASSERT_EQ(cli({QString::fromLatin1(reader), path("t.db")}).exitCode, 0) << reader;
        EXPECT_EQ(readAll(path("t.db")), before) << reader;
    }
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), all);
    const CliRun sorted =
        cli({QStringLiteral("sort"), path("t.db"), QStringLiteral("N"), QStringLiteral("--descending")});
    ASSERT_EQ(sorted.exitCode, 0) << sorted.err.toStdString();
    EXPECT_EQ(numbersShown(sorted.out), (std::vector<double>{5, 4, 3, 2, 1}));
    const QByteArray after = readAll(path("t.db"));
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(qFromLittleEndian<quint32>(after.constData() + 4), 5u) << "the writer corrects the count";

    // A failed delete changes nothing, whatever follows the rows.
    const QByteArray cut = writeTable("cut.db", std::nullopt, QByteArray(500, ' '));
    const CliRun refused =
        cli({QStringLiteral("delete"), path("cut.db"), QStringLiteral("--rows"), QStringLiteral("6")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(readAll(path("cut.db")), cut);
    // A header whose length disagrees with its fields is no table, and nothing is written to it.
    QByteArray lying = before;
    lying[8] = '\xFF';
    lying[9] = '\xFF';
    darni::testing::writeAll(path("lying.db"), lying);
    for (const char* command : {"dump", "renumber"}) {
        const CliRun run = cli({QString::fromLatin1(command), path("lying.db")});
        EXPECT_EQ(run.exitCode, 1) << command;
        EXPECT_TRUE(run.err.contains(QStringLiteral("База данных повреждена"))) << command << run.err.toStdString();
    }
    EXPECT_EQ(readAll(path("lying.db")), lying);
    EXPECT_FALSE(QFile::exists(path("lying.db.undo")));
}

TEST_F(TableSafety, OutputThatCannotBeWrittenIsAFailure)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full here";
    writeTable("t.db");
    for (const QStringList& arguments : {QStringList{QStringLiteral("dump"), path("t.db")},
                                         {QStringLiteral("dump"), QStringLiteral("--excel"), path("t.db")},
                                         {QStringLiteral("info"), path("t.db")},
                                         {QStringLiteral("sort"), path("t.db"), QStringLiteral("P")},
                                         {QStringLiteral("renumber"), path("t.db")},
                                         {QStringLiteral("--help")},
                                         {QStringLiteral("info"), QStringLiteral("--help")}}) {
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(DARNI_CLI), arguments);
        ASSERT_TRUE(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 1) << arguments.join(QLatin1Char(' ')).toStdString() << ' ' << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("диск заполнен")))
            << arguments.join(QLatin1Char(' ')).toStdString() << ' ' << err.toStdString();
    }
}

TEST_F(TableSafety, WritesThroughALinkReplaceItsTarget)
{
#ifdef Q_OS_WIN
    GTEST_SKIP() << "links are a matter of the file system here";
#endif
    QDir(m_dir.path()).mkpath(QStringLiteral("real"));
    QDir(m_dir.path()).mkpath(QStringLiteral("view"));
    writeTable("real/r.db");
    ASSERT_TRUE(QFile::link(QStringLiteral("../real/r.db"), path("view/t.db")));
    const QString link = path("view/t.db");
    ASSERT_EQ(cli({QStringLiteral("delete"), link, QStringLiteral("--rows"), QStringLiteral("1")}).exitCode, 0);
    ASSERT_EQ(cli({QStringLiteral("renumber"), link}).exitCode, 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink()) << "the link was replaced by a file";
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("real/r.db")}).out), (std::vector<double>{1, 2, 3, 4}));
    ASSERT_EQ(cli({QStringLiteral("undo"), link}).exitCode, 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("real/r.db")}).out), (std::vector<double>{2, 3, 4, 5}));

    // A new table made under the link's name goes where the link points, too.
    const QString image = path("served.img");
    darni::testing::SimulatorProcess sim({QStringLiteral("--silent"), QStringLiteral("--records"),
                                          QStringLiteral("3,0"), QStringLiteral("--dump-image"), image});
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(cli({QStringLiteral("decode"), image, link}).exitCode, 0);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("real/r.db")}).out), (std::vector<double>{1, 2, 3}));
}

} // namespace
