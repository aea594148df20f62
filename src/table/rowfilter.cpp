// The row filter of a table.
#include "rowfilter.h"

namespace darni::table {

namespace {
const QString kFilterField = QStringLiteral("NB_TYPE");
constexpr QChar kEquals = u'=';
} // namespace

std::optional<RowFilter> RowFilter::parse(const QString& expression)
{
    const QString text = expression.trimmed();
    if (text.isEmpty())
        return RowFilter();
    const qsizetype eq = text.indexOf(kEquals);
    if (eq < 0 || text.left(eq).trimmed().compare(kFilterField, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    bool ok = false;
    const int kind = text.mid(eq + 1).trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return RowFilter(kind);
}

QString RowFilter::expression() const
{
    return m_kind ? kFilterField + kEquals + QString::number(*m_kind) : QString();
}

} // namespace darni::table
