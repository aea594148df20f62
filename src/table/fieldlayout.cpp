// The binding of the measurement record to a table file's descriptors.
#include "fieldlayout.h"

#include "dbfheader.h"
#include "tableerror.h"

namespace darni::table {

namespace {
// Number fields without decimals read as a small integer up to this width and as an integer above.
constexpr int kWidestInteger = 9;

bool isCompatible(const FieldSpec& entry, const FieldDescriptor& d)
{
    switch (entry.valueType) {
    case ValueType::Text:
        return d.typeLetter == kTextTypeLetter;
    case ValueType::Real:
        return d.isNumber() && d.decimals >= 1;
    case ValueType::Integer:
    case ValueType::SmallInteger:
        return d.isNumber() && d.decimals == 0 && d.width <= kWidestInteger;
    }
    return false;
}

QString fieldName(const FieldSpec& entry)
{
    return QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
}
} // namespace

int recordLengthOf(const std::vector<FieldDescriptor>& descriptors)
{
    int length = dbf::kDeletionFlagSize;
    for (const auto& d : descriptors)
        length += d.width;
    return length;
}

FieldLayout FieldLayout::bind(const std::vector<FieldDescriptor>& descriptors, int recordLength)
{
    if (recordLengthOf(descriptors) > recordLength) {
        throw TableError(TableError::Cause::NotATable,
                         QStringLiteral("Поля таблицы не помещаются в запись длиной %1 байт.").arg(recordLength));
    }

    FieldLayout layout;
    std::array<bool, kFieldCount> bound{};
    int offset = dbf::kDeletionFlagSize;
    for (const auto& d : descriptors) {
        const auto field = fieldByName(d.name);
        if (field && !bound[static_cast<std::size_t>(*field)]) {
            const FieldSpec& entry = fieldSpec(*field);
            if (!isCompatible(entry, d)) {
                throw TableError(TableError::Cause::IncompatibleField,
                                 QStringLiteral("Поле %1 имеет неподходящий тип %2 (%3.%4).")
                                     .arg(fieldName(entry), QChar::fromLatin1(d.typeLetter))
                                     .arg(d.width)
                                     .arg(d.decimals));
            }
            bound[static_cast<std::size_t>(*field)] = true;
            layout.m_fields[static_cast<std::size_t>(*field)] = {offset, d.width, d.decimals};
        }
        offset += d.width;
    }

    for (const auto& entry : kMeasurementFields) {
        if (!bound[static_cast<std::size_t>(entry.field)]) {
            throw TableError(TableError::Cause::MissingField,
                             QStringLiteral("В таблице нет поля %1.").arg(fieldName(entry)));
        }
    }
    return layout;
}

} // namespace darni::table
