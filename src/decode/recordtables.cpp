// The names the instrument's codes stand for.
#include "recordtables.h"

#include <array>

namespace darni::decode {

namespace {
// The names as the instrument's manual lists them.
// clang-format off
constexpr std::array<const char16_t*, 4> kFirstBlockMaterials = {
    u"Бетон легкий", u"Бетон тяжёлый", u"Кирпич керамический", u"Кирпич силикатный"};

constexpr std::array<const char16_t*, 12> kFirstBlockProductTypes = {
    u"Изделие", u"Фунд. блок", u"Колонна",   u"Балка",  u"Ригель", u"Плита",
    u"Вн. стена", u"Нар. стена", u"Стяжка", u"ферма", u"Свая",   u"Полы"};

constexpr std::array<const char16_t*, 13> kSecondBlockMaterials = {
    u"Изделие",          u"Тяж. бетон на гран.", u"Тяж. бетон на изв.", u"Тяж. бетон на грав.",
    u"Тяж. бетон на гранш.", u"Мелкозерн. бетон", u"Керамзитобетон",     u"Шлакопемзобетон",
    u"Кирпич силикатный", u"Кирпич керам.",      u"Бетон легк.",        u"Бетон тяж.",
    u"Керамика"};
// clang-format on

constexpr int kFirstDependence = 1;
constexpr int kLastDependence = 20;

template <std::size_t N>
std::optional<QString> lookUp(const std::array<const char16_t*, N>& table, int code)
{
    if (code < 0 || static_cast<std::size_t>(code) >= N)
        return std::nullopt;
    return QString::fromUtf16(table[static_cast<std::size_t>(code)]);
}
} // namespace

std::optional<QString> firstBlockMaterial(int code)
{
    return lookUp(kFirstBlockMaterials, code);
}
std::optional<QString> firstBlockProductType(int code)
{
    return lookUp(kFirstBlockProductTypes, code);
}
std::optional<QString> secondBlockMaterial(int code)
{
    return lookUp(kSecondBlockMaterials, code);
}

std::optional<QString> dependenceNumber(int code)
{
    if (code < kFirstDependence || code > kLastDependence)
        return std::nullopt;
    return QStringLiteral("<%1>").arg(code, 2, 10, QLatin1Char('0'));
}

QString materialNotGiven()
{
    return QStringLiteral("Не указывается");
}
QString baseDependence()
{
    return QStringLiteral("Базовая");
}
QString individualDependence()
{
    return QStringLiteral("Индивидуальная");
}
QString throughMode()
{
    return QStringLiteral("Cквозное");
}
QString crackMode()
{
    return QStringLiteral("Трещина");
}
QString surfaceMode()
{
    return QStringLiteral("Поверхностное");
}

} // namespace darni::decode
