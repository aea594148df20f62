// The binding of the measurement record to a table file's descriptors.
#include "fieldlayout.h"

#include "dbfheader.h"
#include "tableerror.h"


namespace darni::table {

namespace {
// Number fields without decimals read as a small integer up to this width and as an integer above.
constexpr int kWidestInteger = 9;

bool isCompatible(const FieldSpec& spec, const FieldDescriptor& d)
{
    switch (spec.valueType) {
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

QString fieldName(const FieldSpec& spec)
{
    return QString::fromLatin1(spec.name.data(), static_cast<qsizetype>(spec.name.size()));
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
            const FieldSpec& spec = fieldSpec(*field);
            if (!isCompatible(spec, d)) {
                throw TableError(TableError::Cause::IncompatibleField,
                                 QStringLiteral("Поле %1 имеет неподходящий тип %2 (%3.%4).")
                                     .arg(fieldName(spec), QChar::fromLatin1(d.typeLetter))
                                     .arg(d.width)
                                     .arg(d.decimals));
            }
            bound[static_cast<std::size_t>(*field)] = true;
            layout.m_fields[static_cast<std::size_t>(*field)] = {offset, d.width, d.decimals};
        }
        offset += d.width;
    }

    for (const auto& spec : kMeasurementFields) {
        if (!bound[static_cast<std::size_t>(spec.field)]) {
            throw TableError(TableError::Cause::MissingField,
                             QStringLiteral("В таблице нет поля %1.").arg(fieldName(spec)));
        }
    }
    return layout;
}

} // namespace darni::table
