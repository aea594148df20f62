// Any bytes given to the table layer as a table file end in a clean refusal or a correct open, and a
// walk over whatever opened reads every field without reading outside the file.
#include "table/dbftable.h"
#include "table/tableerror.h"

#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace darni::table;

namespace {

void readEveryField(const DbfTable& t)
{
    for (const auto& entry : kMeasurementFields) {
        (void)t.isNull(entry.field);
        (void)t.text(entry.field);
        (void)t.integer(entry.field);
    }
}

void walk(DbfTable& t)
{
    for (bool ok = t.first(); ok; ok = t.next())
        readEveryField(t);
    for (bool ok = t.last(); ok; ok = t.prior())
        readEveryField(t);
    (void)t.count();
}

void changeAndWalk(DbfTable& t)
{
    walk(t);
    t.setFilter(RowFilter::recordKind(0));
    walk(t);
    if (t.first()) {
        t.edit();
        t.setText(Field::COMMENT, "fuzz");
        t.post();
        t.deleteRow();
    }
    t.append();
    t.setReal(Field::P, 1.5);
    t.post();
    t.pack();
    walk(t);
    t.close();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Refusals are expected by the thousand; logging each would only slow the search.
    QLoggingCategory::setFilterRules(QStringLiteral("darni.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.db"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }

    // Opening only for reading, and walking, changes no byte of the input.
    {
        DbfTable reader;
        try {
            reader.open(path, DbfTable::Access::ReadOnly);
            walk(reader);
        } catch (const TableError&) {
        }
    }
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) ||
            f.readAll() != QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)))
            std::abort();
    }

    // Every failure must be a TableError with a message; anything else, or a crash, is a finding.
    DbfTable t;
    try {
        t.open(path);
    } catch (const TableError&) {
        return 0;
    }
    try {
        changeAndWalk(t);
    } catch (const TableError&) {
    }
    return 0;
}
