// Where each field of the measurement record lies in a file's records: the binding of the record
// schema to the descriptors of one table file, by name and without regard to case.
#pragma once

#include "fielddescriptor.h"
#include "recordschema.h"

#include <array>
#include <vector>

namespace darni::table {

struct BoundField
{
    int offset = 0; // from the start of the record, the deletion flag being byte 0
    int width = 0;
    int decimals = 0;
};

class FieldLayout
{
public:
    // Throws TableError (MissingField, IncompatibleField, NotATable) when the descriptors cannot
    // carry the measurement record or do not fit in records of `recordLength` bytes.
    static FieldLayout bind(const std::vector<FieldDescriptor>& descriptors, int recordLength);

    const BoundField& operator[](Field f) const { return m_fields[static_cast<std::size_t>(f)]; }

private:
    std::array<BoundField, kFieldCount> m_fields{};
};

// Record length of a file with these fields: the deletion flag and every field's width.
int recordLengthOf(const std::vector<FieldDescriptor>& descriptors);

} // namespace darni::table
