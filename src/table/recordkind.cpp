// The shared words for the kinds of rows.
#include "recordkind.h"

namespace darni::table {

QString pageTitle(RecordKind kind)
{
    return kind == RecordKind::PullOff ? QStringLiteral("ПЕЛТА2-ТР5") : QStringLiteral("ОРНАК-ТР5");
}

QString sortTagOf(RecordKind kind)
{
    return kind == RecordKind::PullOff ? QStringLiteral("tab2") : QStringLiteral("tab1");
}

} // namespace darni::table
