// A table written by the table layer, read back by an independent dBase reader (Debian's dbfread).
#include "support/tablefixture.h"
#include "table/cp1251.h"
#include "table/dbftable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace darni::table;

namespace {

class DbfreadInterop : public darni::testing::TableFixture
{
protected:
    QJsonObject readWithDbfread(const QString& path)
    {
        QProcess python;
        python.start(QStringLiteral(DARNI_PYTHON), {QStringLiteral(DARNI_TEST_SCRIPTS "/dbf_to_json.py"), path});
        EXPECT_TRUE(python.waitForFinished(60000));
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString()
                                        << "\n(tools/install-deps installs python3-dbfread)";
        return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    }
};

TEST_F(DbfreadInterop, AnIndependentReaderSeesTheSameValues)
{
    const auto cp = [](const char16_t* s) { return cp1251::fromUnicode(QStringView(s)).toStdString(); };
    DbfTable::create(tablePath());
    DbfTable t;
    t.open(tablePath());

    const NewRow written[] = {
        NewRow()
            .setReal(Field::N, 1)
            .setText(Field::DATE, "05.03.2024")
            .setText(Field::TIME, "09:07:02")
            .setReal(Field::P, 23.4)
            .setReal(Field::R, 150)
            .setInteger(Field::D9, 4321)
            .setReal(Field::P2, 31.25)
            .setText(Field::P3, cp(u"Колонна"))
            .setText(Field::D2, cp(u"Бетон тяжёлый"))
            .setText(Field::P5, cp(u"Базовая"))
            .setText(Field::ZAV, cp(u"Cквозное"))
            .setText(Field::COMMENT, cp(u"Ось «А», №5 — ёмкость")),
        NewRow()
            .setReal(Field::N, 2)
            .setInteger(Field::NB_TYPE, 1)
            .setInteger(Field::DEV_TYPE, 13)
            .setReal(Field::SERIAL, 1234),
        NewRow().setReal(Field::N, 3),
    };
    t.appendRows(written);
    t.removeRows({3}); // removed rows are not read by anyone
    t.close();

    const QJsonObject table = readWithDbfread(tablePath());
    QStringList expectedNames;
    for (const auto& entry : kMeasurementFields)
        expectedNames << QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
    QStringList names;
    for (const auto& v : table[QStringLiteral("fields")].toArray())
        names << v.toString();
    EXPECT_EQ(names, expectedNames);

    const QJsonArray rows = table[QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 2);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first[u"N"].toDouble(), 1.0);
    EXPECT_EQ(first[u"DATE"].toString(), QStringLiteral("05.03.2024"));
    EXPECT_EQ(first[u"TIME"].toString(), QStringLiteral("09:07:02"));
    EXPECT_EQ(first[u"P"].toDouble(), 23.4);
    EXPECT_EQ(first[u"R"].toDouble(), 150.0);
    EXPECT_EQ(first[u"D9"].toInt(), 4321);
    EXPECT_EQ(first[u"P2"].toDouble(), 31.25);
    EXPECT_EQ(first[u"P3"].toString(), QStringLiteral("Колонна"));
    EXPECT_EQ(first[u"D2"].toString(), QStringLiteral("Бетон тяжёлый"));
    EXPECT_EQ(first[u"P5"].toString(), QStringLiteral("Базовая"));
    EXPECT_EQ(first[u"ZAV"].toString(), QStringLiteral("Cквозное"));
    EXPECT_EQ(first[u"COMMENT"].toString(), QStringLiteral("Ось «А», №5 — ёмкость"));
    // Blank fields are nulls to other readers too.
    for (const char16_t* blank : {u"NB_TYPE", u"DEV_TYPE", u"SERIAL", u"T", u"P10", u"PMAX"})
        EXPECT_TRUE(first[QStringView(blank)].isNull()) << QStringView(blank).toString().toStdString();
    EXPECT_EQ(first[u"TYPE"].toString(), QString());

    const QJsonObject second = rows[1].toObject();
    EXPECT_EQ(second[u"NB_TYPE"].toInt(), 1);
    EXPECT_EQ(second[u"DEV_TYPE"].toInt(), 13);
    EXPECT_EQ(second[u"SERIAL"].toDouble(), 1234.0);
    EXPECT_TRUE(second[u"P"].isNull());
}

} // namespace
