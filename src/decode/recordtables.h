// The names the instrument's codes stand for: materials and product types of the first block,
// materials of the second block, and the texts the decoder writes.
#pragma once

#include <QString>

#include <optional>

namespace darni::decode {

// "Бетон легкий" … for codes 0..3 of the first block; nothing for other codes.
std::optional<QString> firstBlockMaterial(int code);
// "Изделие" … "Полы" for codes 0..11 of the first block.
std::optional<QString> firstBlockProductType(int code);
// "Изделие" … "Керамика" for codes 0..12 of the second block; these overwrite the dependence number.
std::optional<QString> secondBlockMaterial(int code);
// "<01>" … "<20>" for codes 1..20.
std::optional<QString> dependenceNumber(int code);

QString materialNotGiven();     // "Не указывается"
QString baseDependence();       // "Базовая"
QString individualDependence(); // "Индивидуальная"
QString throughMode();          // "Cквозное", with a Latin C
QString crackMode();            // "Трещина"
QString surfaceMode();          // "Поверхностное"

} // namespace darni::decode
