// The columns of the two grids.
#include "columnset.h"

#include "table/cp1251.h"
#include "table/fieldcodec.h"
#include "table/numbertext.h"

#include <QLocale>

#include <array>

namespace darni::view {

using table::Field;

namespace {
constexpr Qt::Alignment kCentre = Qt::AlignCenter;
constexpr Qt::Alignment kRight = Qt::AlignRight | Qt::AlignVCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;

// The letters Т in "Т, мкс.", "Т0" and "Т1" are Cyrillic; V, L, h and R are Latin.
constexpr std::array<ColumnSpec, 16> kUltrasonicColumns = {{
    {Field::N, u"N", kCentre, DisplayFormat::OwnText, true},
    {Field::DATE, u"Дата", kCentre, DisplayFormat::OwnText, true},
    {Field::TIME, u"Время", kCentre, DisplayFormat::OwnText, true},
    {Field::P5, u"Зависимость", kCentre, DisplayFormat::OwnText, true},
    {Field::ZAV, u"Вид прозвучивания", kCentre, DisplayFormat::OwnText, true},
    {Field::P3, u"Тип изделия", kCentre, DisplayFormat::OwnText, true},
    {Field::D2, u"Материал", kCentre, DisplayFormat::OwnText, true},
    {Field::P4, u"Кс", kCentre, DisplayFormat::Decimals1, true},
    {Field::D9, u"Скорость УЗК, V, м/с", kCentre, DisplayFormat::Decimals0, true},
    {Field::P, u"Время прохождения УЗК, Т, мкс.", kCentre, DisplayFormat::Decimals1, true},
    {Field::R, u"База прозвучивания, L, мм.", kCentre, DisplayFormat::OwnText, true},
    {Field::T, u"Вне трещены, Т0, мкс.", kCentre, DisplayFormat::Decimals1, true},
    {Field::P10, u"По трещине, Т1, мкс.", kCentre, DisplayFormat::Decimals1, true},
    {Field::P9, u"Глубина трещены, h, мм.", kCentre, DisplayFormat::Decimals1, true},
    {Field::P2, u"Прочность R, МПа", kCentre, DisplayFormat::Decimals1, true},
    {Field::COMMENT, u"Примечание", kCentre, DisplayFormat::OwnText, true},
}};

constexpr std::array<ColumnSpec, 7> kPullOffColumns = {{
    {Field::N, u"N", kCentre, DisplayFormat::OwnText, false},
    {Field::DATE, u"Дата", kCentre, DisplayFormat::OwnText, false},
    {Field::TIME, u"Время", kCentre, DisplayFormat::OwnText, false},
    {Field::P, u"P, кН", kRight, DisplayFormat::Decimals2, false},
    {Field::R, u"R, МПа", kRight, DisplayFormat::Decimals2, false},
    {Field::ZAV, u"№ зависимости", kCentre, DisplayFormat::OwnText, false},
    {Field::COMMENT, u"Примечание", kLeft, DisplayFormat::OwnText, true},
}};

int decimalsOf(DisplayFormat f)
{
    switch (f) {
    case DisplayFormat::Decimals0:
        return 0;
    case DisplayFormat::Decimals1:
        return 1;
    case DisplayFormat::Decimals2:
        return 2;
    case DisplayFormat::OwnText:
        break;
    }
    return -1;
}
} // namespace

std::span<const ColumnSpec> columnsOf(GridKind kind)
{
    if (kind == GridKind::PullOff)
        return kPullOffColumns;
    return kUltrasonicColumns;
}

namespace {
// A text column's text as it stands, a number column's value written by `number`, blank as empty.
template <typename NumberText>
QString storedText(const ColumnSpec& column, const QByteArray& stored, NumberText number)
{
    if (table::fieldSpec(column.field).valueType == table::ValueType::Text)
        return table::cp1251::toUnicode(stored);
    const auto value =
        table::fieldcodec::numberValue(std::string_view(stored.constData(), static_cast<std::size_t>(stored.size())));
    return value ? number(*value) : QString();
}

// A number as the column displays it.
QString displayText(const ColumnSpec& column, double value)
{
    const int decimals = decimalsOf(column.format);
    if (decimals < 0)
        return table::numberText(value);
    // "0.0" writes no group separators, only the locale's decimal one.
    QLocale locale = table::displayLocale();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', decimals);
}

} // namespace

QString cellText(const ColumnSpec& column, const QByteArray& stored)
{
    return storedText(column, stored, [&column](double value) { return displayText(column, value); });
}

QString editText(const ColumnSpec& column, const QByteArray& stored)
{
    return storedText(column, stored, [](double value) { return table::numberText(value); });
}

} // namespace darni::view
