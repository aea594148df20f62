// The three printed report layouts.
#include "reportlayout.h"

#include <array>

namespace darni::output::report {

namespace {

using table::Field;
constexpr Qt::Alignment kCentred = Qt::AlignCenter;
constexpr Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr std::uint8_t kKlivoDeviceType = 13;

constexpr int kTitleHeight = 64;
constexpr int kHeaderHeight = 60;
constexpr int kFooterHeight = 20;
constexpr int kRowHeight = 40;
constexpr int kKlivoRowHeight = 55;
constexpr int kKlivoDataCellHeight = 53;
constexpr int kReport1HeadingPoints = 9;
constexpr int kPortraitHeadingPoints = 12;

// clang-format off
constexpr std::array<ReportColumn, 15> kReport1Columns{{
    {72, 25, u"N", Field::N, ValueFormat::General, kCentred},
    {97, 68, u"Дата", Field::DATE, ValueFormat::General, kCentred},
    {165, 54, u"Время", Field::TIME, ValueFormat::General, kCentred},
    {219, 84, u"Зависимость", Field::P5, ValueFormat::General, kCentred},
    {303, 76, u"Вид прозвучивания", Field::ZAV, ValueFormat::General, kCentred},
    {379, 76, u"Тип изделия", Field::P3, ValueFormat::General, kCentred},
    {455, 92, u"Материал", Field::D2, ValueFormat::General, kCentred},
    {547, 28, u"Кс", Field::P4, ValueFormat::General, kCentred},
    {575, 64, u"Скорость УЗК, V, м/с.", Field::D9, ValueFormat::Fixed2, kCentred},
    {639, 84, u"Время прохождения УЗК, Т, мкс.", Field::P, ValueFormat::Fixed2, kCentred},
    {723, 72, u"База прозвучивания, L, мм.", Field::R, ValueFormat::Fixed2, kCentred},
    {795, 60, u"Вне трещины, Т0, мкс.", Field::T, ValueFormat::General, kCentred},
    {855, 56, u"По трещине, Т1, мкс.", Field::P10, ValueFormat::General, kCentred},
    {911, 60, u"Глубина трещины, h, мм.", Field::P9, ValueFormat::General, kCentred},
    {971, 72, u"Прочность, R, Мпа", Field::P2, ValueFormat::General, kCentred},
}};

constexpr std::array<ReportColumn, 7> kReport2Columns{{
    {72, 61, u"N", Field::N, ValueFormat::General, kCentred},
    {133, 80, u"Дата", Field::DATE, ValueFormat::General, kCentred},
    {213, 66, u"Время", Field::TIME, ValueFormat::General, kCentred},
    {279, 72, u"P, кН", Field::P, ValueFormat::Fixed2, kCentred},
    {351, 72, u"R, МПа", Field::R, ValueFormat::Fixed2, kCentred},
    {423, 120, u"№ зависимости", Field::ZAV, ValueFormat::General, kCentred},
    {543, 189, u"Примечание", Field::COMMENT, ValueFormat::General, kLeft},
}};

constexpr std::array<ReportColumn, 7> kReport3Columns{{
    {71, 61, u"N", Field::N, ValueFormat::General, kCentred},
    {132, 80, u"Дата", Field::DATE, ValueFormat::General, kCentred},
    {212, 66, u"Время", Field::TIME, ValueFormat::General, kCentred},
    {278, 75, u"P, кН", Field::P, ValueFormat::Fixed2, kCentred},
    {353, 80, u"R, МПа", Field::R, ValueFormat::Fixed2, kCentred},
    {433, 109, u"Тип и размер пластины", Field::TYPE, ValueFormat::General, kCentred},
    {542, 189, u"Примечание", Field::COMMENT, ValueFormat::General, kLeft},
}};

const ReportLayout kReport1{"Report1", true, kTitleHeight, kHeaderHeight, kRowHeight, kFooterHeight, 295,
                            u"ОРНАК-ТР5 ", false, kReport1HeadingPoints, 0, kRowHeight, kReport1Columns};
const ReportLayout kReport2{"Report2", false, kTitleHeight, kHeaderHeight, kRowHeight, kFooterHeight, 333,
                            u"ПЕЛТА2-ТР5  № ", true, kPortraitHeadingPoints, 0, kRowHeight, kReport2Columns};
const ReportLayout kReport3{"Report3", false, kTitleHeight, kHeaderHeight, kKlivoRowHeight, kFooterHeight, 295,
                            u"КЛИВО-ТР5  № ", true, kPortraitHeadingPoints, 1, kKlivoDataCellHeight, kReport3Columns};
// clang-format on

} // namespace

const ReportLayout& report1()
{
    return kReport1;
}

const ReportLayout& report2()
{
    return kReport2;
}

const ReportLayout& report3()
{
    return kReport3;
}

const ReportLayout& chooseReport(table::RecordKind page, std::uint8_t deviceType)
{
    if (page == table::RecordKind::PullOff)
        return kReport2;
    return deviceType == kKlivoDeviceType ? kReport3 : kReport1;
}

} // namespace darni::output::report
