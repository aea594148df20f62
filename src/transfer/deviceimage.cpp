// The instrument's memory as received, and its readers.
#include "deviceimage.h"

#include <algorithm>
#include <cstring>

namespace darni::transfer {

namespace {
constexpr int kLastHour = 23;
constexpr int kLastMinute = 59;
constexpr int kLastDay = 31;
constexpr int kLastMonth = 12;
constexpr int kFirstDayOrMonth = 1;
constexpr int kYearBase = 2000;
constexpr int kByteBase = 256;

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}
} // namespace

DeviceImage::DeviceImage() : m_bytes(image::kCapacity) {}

bool DeviceImage::operator==(const DeviceImage& other) const
{
    return std::ranges::equal(bytes(), other.bytes());
}

void DeviceImage::setSize(std::size_t size)
{
    m_size = std::min(size, image::kCapacity);
}

void DeviceImage::assign(std::span<const std::uint8_t> bytes)
{
    const std::size_t n = std::min(bytes.size(), image::kCapacity);
    std::memcpy(m_bytes.data(), bytes.data(), n);
    m_size = n;
}

std::uint16_t DeviceImage::word(std::size_t offset) const
{
    return static_cast<std::uint16_t>(byteAt(offset) + kByteBase * byteAt(offset + 1));
}

QString DeviceImage::time(std::size_t offset) const
{
    const int seconds = byteAt(offset);
    const int minutes = byteAt(offset + 1);
    const int hours = byteAt(offset + 2);
    return twoDigits(hours > kLastHour ? 0 : hours) + QLatin1Char(':') +
           twoDigits(minutes > kLastMinute ? 0 : minutes) + QLatin1Char(':') +
           twoDigits(seconds > kLastMinute ? 0 : seconds);
}

QString DeviceImage::date(std::size_t offset) const
{
    const int day = byteAt(offset);
    const int month = byteAt(offset + 1);
    const int year = kYearBase + byteAt(offset + 2);
    const int shownDay = (day == 0 || day > kLastDay) ? kFirstDayOrMonth : day;
    const int shownMonth = (month == 0 || month > kLastMonth) ? kFirstDayOrMonth : month;
    return twoDigits(shownDay) + QLatin1Char('.') + twoDigits(shownMonth) + QLatin1Char('.') + QString::number(year);
}

} // namespace darni::transfer
