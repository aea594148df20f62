// The rows of a table's page as CSV.
#include "pagecsv.h"

#include "table/cp1251.h"
#include "table/recordview.h"

#include <QStringList>

namespace darni::cli {

using namespace darni::table;

namespace {
const QString kSeparator = QStringLiteral(",");

QString quoted(const QString& value)
{
    if (!value.contains(QLatin1Char(',')) && !value.contains(QLatin1Char('"')) && !value.contains(QLatin1Char('\n')) &&
        !value.contains(QLatin1Char('\r')))
        return value;
    QString escaped = value;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}
} // namespace

void writePageCsv(const RecordView& rows, QTextStream& out)
{
    QStringList names;
    for (const auto& entry : kMeasurementFields)
        names << QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
    out << names.join(kSeparator) << '\n';
    for (int row = 0; row < rows.size(); ++row) {
        QStringList values;
        for (const auto& entry : kMeasurementFields) {
            const QByteArray stored = rows.text(row, entry.field);
            values << quoted(entry.valueType == ValueType::Text ? cp1251::toUnicode(stored)
                                                                : QString::fromLatin1(stored.trimmed()));
        }
        out << values.join(kSeparator) << '\n';
    }
}

} // namespace darni::cli
