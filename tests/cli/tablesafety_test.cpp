// darni-cli on tables it must not harm: commands that only read change no byte and work on tables
// they cannot write; refusals name their cause before any instrument is asked; rows are deleted and
// renumbered by the numbers the page shows; damaged inputs end in a sentence, never a crash.
#include "transfer/transferfile.h"
#include "support/dbffilebuilder.h"
#include "support/qtprinters.h"
#include "support/simulatorprocess.h"
#include "table/dbftable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

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
            EXPECT_EQ(run.exitCode, 0) << command.first().toStdString() << " on a held table: " << run.err.toStdString();
        }
        EXPECT_EQ(readAll(path("t.db")), held);
    }
    QFile::setPermissions(path("t.db"), QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    const QByteArray readOnly = readAll(path("t.db"));
    for (const QStringList& command : commands)
        EXPECT_EQ(cli(command).exitCode, 0) << command.first().toStdString() << " on a read-only table";
    EXPECT_EQ(readAll(path("t.db")), readOnly);
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
        {"append to a held table", {QStringLiteral("receive"), QStringLiteral("--append"), path("held.db")},
         "занят другой программой"},
        {"create onto a read-only table", {QStringLiteral("receive"), path("readonly.db")}, "только для чтения"},
        {"append to a missing table", {QStringLiteral("receive"), QStringLiteral("--append"), path("none.db")},
         "не найден"},
        {"create onto a folder", {QStringLiteral("receive"), m_dir.path()}, "папка"},
        {"decode onto a held table", {QStringLiteral("decode"), path("any.img"), path("held.db")},
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
                                          QStringLiteral("--dump-image"), path("good.img"), QStringLiteral("--silent")});
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

TEST_F(TableSafety, RowsAreDeletedAndRenumberedByTheNumbersThePageShows)
{
    writeTable("t.db");
    const CliRun missing = cli({QStringLiteral("delete"), path("t.db"), QStringLiteral("--rows"), QStringLiteral("2,9")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("нет строки с номером 9"))) << missing.err.toStdString();

    const CliRun deleted = cli({QStringLiteral("delete"), path("t.db"), QStringLiteral("--rows"), QStringLiteral("2,4")});
    ASSERT_EQ(deleted.exitCode, 0) << deleted.err.toStdString();
    EXPECT_TRUE(deleted.out.contains(QStringLiteral("Удалено строк: 2")));
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 3, 5}));

    ASSERT_EQ(cli({QStringLiteral("renumber"), path("t.db")}).exitCode, 0);
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(readAll(path("t.db")).size(), 1217 + 3 * 1086 + 1);
    // The table as it was before the renumbering is kept for "undo", and nothing else.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), (QStringList{QStringLiteral("t.db"), QStringLiteral("t.db.undo")}))
        << "no stray files";

    const CliRun undone = cli({QStringLiteral("undo"), path("t.db")});
    ASSERT_EQ(undone.exitCode, 0) << undone.err.toStdString();
    EXPECT_EQ(numbersShown(cli({QStringLiteral("dump"), path("t.db")}).out), (std::vector<double>{1, 3, 5}));
    const CliRun again = cli({QStringLiteral("undo"), path("t.db")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("Нечего отменять"))) << again.err.toStdString();
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("t.db")});
}

} // namespace
