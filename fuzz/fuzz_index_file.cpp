// Any bytes found as a table's index file are read within their bounds: the reader refuses them or
// returns tags in order, and a table with such a file beside it still opens and walks.
#include "table/dbftable.h"
#include "table/mdxfile.h"
#include "table/tableerror.h"
#include "table/tablepaths.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstdlib>

using namespace darni::table;

namespace {

// A small sorted table whose index file the input replaces.
struct Fixture
{
    QTemporaryDir dir;
    QString table = dir.filePath(QStringLiteral("f.db"));
    QByteArray tableBytes;

    Fixture()
    {
        DbfTable::create(table);
        DbfTable t;
        t.open(table);
        for (int i = 0; i < 70; ++i) {
            t.append();
            t.setReal(Field::P, (i * 37) % 11);
            t.setText(Field::ZAV, i % 2 ? "b" : "a");
            t.post();
        }
        t.addTag(QStringLiteral("tab1"), "P", false);
        t.close();
        QFile f(table);
        if (!f.open(QIODevice::ReadOnly))
            std::abort();
        tableBytes = f.readAll();
    }
};

void writeFile(const QString& path, const char* data, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data, size) != size)
        std::abort();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    return f.readAll();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("darni.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Fixture fixture;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const auto tags = MdxFile::read(bytes)) {
        for (const auto& tag : *tags) {
            if (tag.records.size() != tag.keys.size())
                std::abort();
        }
    }

    writeFile(fixture.table, fixture.tableBytes.constData(), fixture.tableBytes.size());
    writeFile(indexFilePath(fixture.table), bytes.constData(), bytes.size());
    // Opening only for reading, sorting in memory included, changes neither file.
    {
        DbfTable reader;
        try {
            reader.open(fixture.table, DbfTable::Access::ReadOnly);
            reader.addTag(QStringLiteral("tab9"), "P", true);
        } catch (const TableError&) {
        }
    }
    if (readFile(fixture.table) != fixture.tableBytes || readFile(indexFilePath(fixture.table)) != bytes)
        std::abort();
    DbfTable t;
    try {
        t.open(fixture.table);
        for (const QString& name : t.tagNames()) {
            t.setActiveTag(name);
            int rows = 0;
            for (bool ok = t.first(); ok; ok = t.next())
                ++rows;
            if (rows != t.count())
                std::abort(); // every live row exactly once in any order
        }
    } catch (const TableError&) {
    }
    return 0;
}
