// The page as a CSV file for a Russian spreadsheet program.
#include "csvexport.h"

#include "excelexport.h"

#include "files/atomicfile.h"
#include "table/cp1251.h"
#include "table/numbertext.h"
#include "table/recordview.h"

#include <QStringList>

namespace darni::output {

namespace {

const QByteArray kByteOrderMark = QByteArrayLiteral("\xEF\xBB\xBF");
const QString kSeparator = QStringLiteral(";");
const QString kLineEnd = QStringLiteral("\r\n");
constexpr QChar kDecimalComma = u',';

QString quoted(const QString& value)
{
    if (!value.contains(kSeparator) && !value.contains(u'"') && !value.contains(u'\n') && !value.contains(u'\r'))
        return value;
    QString escaped = value;
    escaped.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString valueText(const table::RecordView& page, int row, const ExportColumn& c)
{
    if (c.cell == ExportCell::Text)
        return table::cp1251::toUnicode(page.text(row, c.field));
    if (page.isNull(row, c.field))
        return {};
    if (c.cell == ExportCell::Integer)
        return QString::number(page.integer(row, c.field));
    return table::numberText(page.real(row, c.field), kDecimalComma);
}

} // namespace

QByteArray pageCsv(const table::RecordView& page)
{
    QStringList line;
    for (const ExportColumn& c : exportColumns())
        line << quoted(QString::fromUtf16(c.header));
    QString text = line.join(kSeparator) + kLineEnd;
    for (int row = 0; row < page.size(); ++row) {
        line.clear();
        for (const ExportColumn& c : exportColumns())
            line << quoted(valueText(page, row, c));
        text += line.join(kSeparator) + kLineEnd;
    }
    return kByteOrderMark + text.toUtf8();
}

void exportToCsv(const table::RecordView& page, const QString& path)
{
    files::AtomicFile file(path);
    file.write(pageCsv(page));
    file.commit();
}

} // namespace darni::output
