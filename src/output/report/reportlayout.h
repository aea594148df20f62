// The three printed report layouts, as data: page, bands, title, columns with their positions,
// headings, fields and value formats. Positions and sizes are in report units of 1/91.6256 inch,
// measured from the paper's top left corner.
#pragma once

#include "table/recordkind.h"
#include "table/recordschema.h"

#include <Qt>

#include <cstdint>
#include <span>

namespace darni::output::report {

inline constexpr double kUnitsPerInch = 91.6256;
inline constexpr int kA4ShortSide = 758;
inline constexpr int kA4LongSide = 1071;
inline constexpr int kLeftMargin = 72;
inline constexpr int kOtherMargin = 25; // top, right and bottom

enum class ValueFormat {
    General, // texts as stored, numbers in the shortest form with the locale's separator; blank: 0 or nothing
    Fixed2,  // two decimals with a comma whatever the locale; blank: 0,00
};

struct ReportColumn
{
    int x;
    int width;
    const char16_t* heading;
    table::Field field;
    ValueFormat format;
    Qt::Alignment dataAlignment;
};

struct ReportLayout
{
    const char* name; // "Report1", …
    bool landscape;
    int titleHeight;
    int headerHeight;
    int rowHeight;
    int footerHeight;
    int titleWidth;
    const char16_t* titleText;
    bool titleHasSerial; // the title ends with the row's SERIAL
    int headingFontPoints;
    int headingTopOffset; // heading cells start this far below their band (and reach as far below it)
    int dataCellHeight;   // within the row band
    std::span<const ReportColumn> columns;

    int pageWidth() const { return landscape ? kA4LongSide : kA4ShortSide; }
    int pageHeight() const { return landscape ? kA4ShortSide : kA4LongSide; }
};

const ReportLayout& report1(); // ОРНАК-ТР5, landscape, fifteen columns
const ReportLayout& report2(); // ПЕЛТА2-ТР5, portrait, seven columns
const ReportLayout& report3(); // КЛИВО-ТР5, portrait, seven columns

// The layout for the page in view: the pull-off page prints Report2; the ultrasonic page prints Report3
// for the instrument of device type 13, else Report1.
const ReportLayout& chooseReport(table::RecordKind page, std::uint8_t deviceType);

// Fonts: Arial, black.
inline constexpr int kTitlePoints = 14;
inline constexpr int kDataPoints = 10;
inline constexpr int kFooterPoints = 10;
// The smallest size a number, a date or a time is drawn in to fit its cell, that of fine print that
// stays legible (a five-digit N keeps one line in Report1's narrowest column); below it, the value is
// broken into lines, and its row grows when they need more height than it has.
inline constexpr double kReadablePoints = 5.5;

// Cell insets: from the left and right border, and from the top and bottom border.
inline constexpr int kHorizontalInset = 2;
inline constexpr int kVerticalInset = 1;

} // namespace darni::output::report
