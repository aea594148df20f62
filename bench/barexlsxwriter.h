// The floor of an .xlsx export: libxlsxwriter alone, in constant-memory mode, writing cells that are
// already in memory in their final form (numbers, UTF-8 texts, dates), with no table to read, then
// the file synced as the export syncs its own.
#pragma once

#include "table/recordview.h"

#include <string>
#include <vector>

namespace darni::bench {

class BareXlsxCells
{
public:
    // The cells the export writes for the page: its sixteen columns, the header row first.
    explicit BareXlsxCells(const table::RecordView& page);
    // Writes them to `path`; false when the library failed.
    bool write(const std::string& path) const;

private:
    struct Cell
    {
        enum class Kind { Empty, Number, Text, Date, Time } kind = Kind::Empty;
        double number = 0; // a number, or the date or time as the days since 1899-12-30
        std::string text;  // UTF-8
    };
    std::vector<Cell> m_cells; // row by row
};

} // namespace darni::bench
