// The BIFF8 workbook stream, record by record, in the order Excel 97-2003 files have it.
#include "xlswriter.h"

#include "biffstream.h"
#include "compoundfilewriter.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <span>
#include <unordered_map>
#include <vector>

namespace darni::output::xls {

namespace {

using biff::Record;

constexpr std::uint16_t kBiff8Version = 0x0600;
constexpr std::uint16_t kGlobalsType = 0x0005;
constexpr std::uint16_t kWorksheetType = 0x0010;
constexpr std::uint16_t kBuild = 0x0DBB;
constexpr std::uint16_t kBuildYear = 0x07CC;
constexpr std::uint16_t kCodePage1252 = 1252;
constexpr int kWriteAccessSize = 112;
constexpr std::uint16_t kBuiltInFunctionGroups = 14;
constexpr std::uint16_t kCountryCode = 7;
const QString kWorkbookStream = QStringLiteral("Workbook");

struct Window1Values
{
    std::uint16_t left = 360;
    std::uint16_t top = 30;
    std::uint16_t width = 7454;
    std::uint16_t height = 6240;
    std::uint16_t flags = 0x0038;
    std::uint16_t activeSheet = 0;
    std::uint16_t firstVisibleTab = 0;
    std::uint16_t selectedTabs = 1;
    std::uint16_t tabRatio = 600;
};

// Fonts.
constexpr int kFixedFonts = 4;
constexpr int kMissingFontIndex = 4; // BIFF8 has no font 4
constexpr int kTwipsPerPoint = 20;
constexpr std::uint16_t kItalicFlag = 0x0002;
constexpr std::uint16_t kStruckOutFlag = 0x0008;
constexpr std::uint16_t kNormalWeight = 100;
constexpr std::uint16_t kBoldWeight = 1000;
constexpr std::uint16_t kWindowTextColor = 0x7FFF;
constexpr std::uint8_t kDefaultCharset = 1;

// Number formats.
constexpr std::uint16_t kFirstCustomFormat = 50;
struct FixedFormat
{
    std::uint16_t index;
    const char16_t* code;
};
constexpr std::array<FixedFormat, 8> kFixedFormats{{
    {5, u"#,##0\"р.\";\\-#,##0\"р.\""},
    {6, u"#,##0\"р.\";[Red]\\-#,##0\"р.\""},
    {7, u"#,##0.00\"р.\";\\-#,##0.00\"р.\""},
    {8, u"#,##0.00\"р.\";[Red]\\-#,##0.00\"р.\""},
    {42, u"_-* #,##0\"р.\"_-;\\-* #,##0\"р.\"_-;_-* \"-\"\"р.\"_-;_-@_-"},
    {41, u"_-* #,##0_р_._-;\\-* #,##0_р_._-;_-* \"-\"_р_._-;_-@_-"},
    {44, u"_-* #,##0.00\"р.\"_-;\\-* #,##0.00\"р.\"_-;_-* \"-\"??\"р.\"_-;_-@_-"},
    {43, u"_-* #,##0.00_р_._-;\\-* #,##0.00_р_._-;_-* \"-\"??_р_._-;_-@_-"},
}};

// Cell formats (XF): fifteen whole records, then six given by their data, then the computed ones.
constexpr std::array<const char*, 15> kFixedXfRecords{
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 00 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 01 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 01 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 02 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 02 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
    "e0 00 14 00 00 00 00 00 f5 ff 20 00 00 f4 00 00 00 00 00 00 00 00 c0 20",
};
constexpr std::array<const char*, 6> kFixedXfData{
    "00 00 00 00 01 00 20 00 00 00 00 00 00 00 00 00 00 00 C0 20",
    "01 00 2C 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20",
    "01 00 2A 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20",
    "01 00 09 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20",
    "01 00 2B 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20",
    "01 00 29 00 F5 FF 20 00 00 F8 00 00 00 00 00 00 00 00 C0 20",
};
constexpr int kFirstListedXf = 15; // the XF of the list's first entry
constexpr std::uint16_t kLockedCell = 0x0001;
constexpr std::uint8_t kWrapFlag = 0x08;
constexpr int kVerticalShift = 4;
constexpr std::uint16_t kUsedAttributes = 0x7C00;
constexpr std::uint16_t kUsedAttributesMerged = 0x7C20;
constexpr int kBackColorShift = 7;

constexpr std::array<const char*, 6> kStyleRecords{
    "93 02 04 00 10 80 04 FF", "93 02 04 00 11 80 07 FF", "93 02 04 00 00 80 00 FF",
    "93 02 04 00 12 80 05 FF", "93 02 04 00 13 80 03 FF", "93 02 04 00 14 80 06 FF",
};

// The default palette of BIFF8; a colour's index is its position plus 8.
constexpr int kPaletteBase = 8;
constexpr std::array<XlsColor, 56> kDefaultPalette{
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF, 0x800000, 0x008000,
    0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080, 0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF,
    0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF, 0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000,
    0x008080, 0x0000FF, 0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696, 0x003366, 0x339966,
    0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

// Shared strings.
constexpr int kStringsPerBucket = 8;
constexpr int kStringHeaderSize = 3;
constexpr int kMinRoomForMore = 4; // with this little left, a record gets no more string bytes
constexpr std::uint8_t kUncompressedFlag = 0x01;

// Sheets.
constexpr int kRowsPerBlock = 32;
constexpr int kCellHeadSize = 6; // row, column, XF
constexpr std::uint16_t kRowHeight = 255;
constexpr int kRowRecordSize = biff::kRecordHeaderSize + 16;
constexpr std::uint16_t kCalcAutomatic = 1;
constexpr std::uint16_t kIterationCount = 100;
constexpr std::uint16_t kA1References = 1;
constexpr const char* kCalcDeltaRecord = "10 00 08 00 fc a9 f1 d2 4d 62 50 3f";
constexpr std::uint16_t kWsBoolFlags = 0x04C1;
constexpr std::uint16_t kPortraitFlag = 0x0002;
constexpr std::uint16_t kDefaultColumnWidth = 8;
// Column widths are stored in 1/256 of a character of the default font, at most 255 characters.
constexpr double kColumnWidthUnitsPerCharacter = 256.0;
constexpr std::uint16_t kLargestColumnWidth = 0xFF00;
constexpr std::uint16_t kWindow2Flags = 0x04B6;
constexpr std::uint16_t kWindow2Selected = 0x0200;
constexpr std::uint32_t kGridColorIndex = 64;
constexpr std::uint8_t kActivePane = 3;

std::uint16_t paletteIndex(XlsColor color)
{
    // Colours outside the palette take the nearest entry rather than a palette of their own.
    const auto distance = [color](XlsColor c) {
        const int dr = static_cast<int>((color >> 16) & 0xFF) - static_cast<int>((c >> 16) & 0xFF);
        const int dg = static_cast<int>((color >> 8) & 0xFF) - static_cast<int>((c >> 8) & 0xFF);
        const int db = static_cast<int>(color & 0xFF) - static_cast<int>(c & 0xFF);
        return dr * dr + dg * dg + db * db;
    };
    const auto best = std::min_element(kDefaultPalette.begin(), kDefaultPalette.end(),
                                       [&](XlsColor a, XlsColor b) { return distance(a) < distance(b); });
    return static_cast<std::uint16_t>(kPaletteBase + (best - kDefaultPalette.begin()));
}

struct FontKey
{
    QString name;
    int size;
    XlsColor color;
    bool bold, italic, underline, strikeOut;
    bool operator==(const FontKey&) const = default;
};

FontKey fontOf(const XlsCellStyle& s)
{
    return {s.fontName, s.fontSize, s.fontColor, s.bold, s.italic, s.underline, s.strikeOut};
}

BiffData fontRecord(const FontKey& f, std::uint16_t colorIndex)
{
    BiffData d;
    std::uint16_t options = 0;
    if (f.italic)
        options |= kItalicFlag;
    if (f.strikeOut)
        options |= kStruckOutFlag;
    d.u16(static_cast<std::uint16_t>(f.size * kTwipsPerPoint))
        .u16(options)
        .u16(colorIndex)
        .u16(f.bold ? kBoldWeight : kNormalWeight)
        .u16(0) // escapement
        .u8(f.underline ? 1 : 0)
        .u8(0) // family
        .u8(kDefaultCharset)
        .u8(0)
        .unicode8(f.name);
    return d;
}

// The ranges of a sheet in writing order: row by row, each row's ranges by left column.
template <typename F>
void forEachRange(const XlsSheetSource& sheet, XlsValueUse use, F&& visit)
{
    if (sheet.isEmpty())
        return;
    for (int row = sheet.usedArea().top; row <= sheet.usedArea().bottom; ++row) {
        for (const XlsSheetCell& cell : sheet.rowCells(row, use))
            visit(row, cell);
    }
}

class WorkbookStreamWriter
{
public:
    WorkbookStreamWriter(const QString& title, std::span<const XlsSheetSource* const> sheets, BiffStream& out)
        : m_title(title), m_sheets(sheets), m_out(out)
    {
    }

    void write()
    {
        collectStyles();
        writeGlobals();
        std::uint32_t sharedIndex = 0;
        for (int i = 0; i < sheetCount(); ++i) {
            const std::int64_t bof = m_out.position();
            QByteArray position(4, '\0');
            qToLittleEndian(static_cast<std::uint32_t>(bof), position.data());
            m_out.patch(m_boundSheetPositions[static_cast<std::size_t>(i)], position);
            m_sheetTextCells = &m_textCells[static_cast<std::size_t>(i)];
            m_nextCell = 0;
            writeSheet(*m_sheets[static_cast<std::size_t>(i)], i == 0, sharedIndex);
        }
    }

private:
    // ---- the tables of fonts, formats and cell formats ---------------------------------------------

    void collectStyles()
    {
        for (const auto& x : kFixedXfData)
            m_xfList.push_back(bytesFromHex(x));
        for (int i = 0; i < sheetCount(); ++i) {
            const XlsSheetSource& sheet = *m_sheets[static_cast<std::size_t>(i)];
            const XlsCellStyle* last = nullptr;
            // One pass finds the styles in order of first use; it needs no values.
            forEachRange(sheet, XlsValueUse::StyleOnly, [&](int, const XlsSheetCell& cell) {
                if (cell.style == last)
                    return;
                last = cell.style;
                const bool merged = !cell.bounds.isSingleCell();
                const auto key = std::make_pair(cell.style, merged);
                if (m_xfOfStyle.contains(key))
                    return;
                m_xfOfStyle[key] = xfIndexFor(*cell.style, merged);
            });
        }
    }

    std::uint16_t fontIndexFor(const XlsCellStyle& style)
    {
        const FontKey key = fontOf(style);
        auto it = std::find(m_fonts.begin(), m_fonts.end(), key);
        if (it == m_fonts.end())
            it = m_fonts.insert(m_fonts.end(), key);
        const int n = kFixedFonts + static_cast<int>(it - m_fonts.begin());
        return static_cast<std::uint16_t>(n >= kMissingFontIndex ? n + 1 : n);
    }

    std::uint16_t formatIndexFor(const XlsCellStyle& style)
    {
        if (style.numberFormat.isEmpty())
            return 0;
        auto it = std::find(m_formats.begin(), m_formats.end(), style.numberFormat);
        if (it == m_formats.end())
            it = m_formats.insert(m_formats.end(), style.numberFormat);
        return static_cast<std::uint16_t>(kFirstCustomFormat + (it - m_formats.begin()));
    }

    std::uint16_t xfIndexFor(const XlsCellStyle& style, bool merged)
    {
        BiffData d;
        const auto alignment = static_cast<std::uint8_t>(static_cast<int>(style.horizontal) |
                                                         static_cast<int>(style.vertical) << kVerticalShift |
                                                         (style.wrap ? kWrapFlag : 0));
        const std::uint16_t black = paletteIndex(kXlsBlack);
        d.u16(fontIndexFor(style))
            .u16(formatIndexFor(style))
            .u16(kLockedCell)
            .u8(alignment)
            .u8(style.rotation)
            .u16(merged ? kUsedAttributesMerged : kUsedAttributes)
            .zeros(8) // no borders, no fill
            .u16(static_cast<std::uint16_t>(black + (black << kBackColorShift)));
        const auto it = std::find(m_xfList.begin(), m_xfList.end(), d.data());
        if (it != m_xfList.end())
            return static_cast<std::uint16_t>(kFirstListedXf + (it - m_xfList.begin()));
        m_xfList.push_back(d.data());
        return static_cast<std::uint16_t>(kFirstListedXf + m_xfList.size() - 1);
    }

    std::uint16_t xfOf(const XlsSheetCell& cell) const
    {
        return m_xfOfStyle.at({cell.style, !cell.bounds.isSingleCell()});
    }

    // ---- workbook globals ----------------------------------------------------------------------------

    void writeGlobals()
    {
        m_out.record(
            Record::BOF,
            BiffData().u16(kBiff8Version).u16(kGlobalsType).u16(kBuild).u16(kBuildYear).u32(0).u32(kBiff8Version));
        m_out.record(Record::InterfaceHdr, BiffData().u16(kCodePage1252));
        m_out.record(Record::Mms, BiffData().u16(0));
        m_out.record(Record::InterfaceEnd);
        BiffData access;
        access.unicode16(m_title);
        access.bytes(QByteArray(std::max(0, kWriteAccessSize - access.size()), ' '));
        m_out.record(Record::WriteAccess, access.data().left(kWriteAccessSize));
        m_out.record(Record::CodePage, BiffData().u16(kCodePage1252));
        m_out.record(Record::DSF, BiffData().u16(0));
        m_out.record(Record::Excel9File);
        BiffData tabs;
        for (int i = 0; i < sheetCount(); ++i)
            tabs.u16(static_cast<std::uint16_t>(i + 1));
        m_out.record(Record::RRTabId, tabs);
        m_out.record(Record::BuiltInFnGroupCount, BiffData().u16(kBuiltInFunctionGroups));
        for (const Record r :
             {Record::WinProtect, Record::Protect, Record::Password, Record::Prot4Rev, Record::Prot4RevPass})
            m_out.record(r, BiffData().u16(0));
        const Window1Values w;
        m_out.record(Record::Window1, BiffData()
                                          .u16(w.left)
                                          .u16(w.top)
                                          .u16(w.width)
                                          .u16(w.height)
                                          .u16(w.flags)
                                          .u16(w.activeSheet)
                                          .u16(w.firstVisibleTab)
                                          .u16(w.selectedTabs)
                                          .u16(w.tabRatio));
        m_out.record(Record::Backup, BiffData().u16(0));
        m_out.record(Record::HideObj, BiffData().u16(0));
        m_out.record(Record::Date1904, BiffData().u16(0));
        m_out.record(Record::CalcPrecision, BiffData().u16(1));
        m_out.record(Record::RefreshAll, BiffData().u16(0));
        m_out.record(Record::BookBool, BiffData().u16(0));
        writeFonts();
        writeFormats();
        for (const char* xf : kFixedXfRecords)
            m_out.raw(bytesFromHex(xf));
        for (const QByteArray& xf : m_xfList)
            m_out.record(Record::XF, xf);
        for (const char* style : kStyleRecords)
            m_out.raw(bytesFromHex(style));
        m_out.record(Record::UsesELFs, BiffData().u16(0));
        for (int i = 0; i < sheetCount(); ++i) {
            m_boundSheetPositions.push_back(m_out.position() + biff::kRecordHeaderSize);
            m_out.record(Record::BoundSheet8,
                         BiffData().u32(0).u16(0).unicode8(m_sheets[static_cast<std::size_t>(i)]->name()));
        }
        m_out.record(Record::Country, BiffData().u16(kCountryCode).u16(kCountryCode));
        writeSharedStrings();
        m_out.record(Record::EOF_);
    }

    void writeFonts()
    {
        const FontKey standard{QStringLiteral("Arial"), 10, kXlsBlack, false, false, false, false};
        for (int i = 0; i < kFixedFonts; ++i)
            m_out.record(Record::Font, fontRecord(standard, kWindowTextColor));
        for (const FontKey& f : m_fonts)
            m_out.record(Record::Font, fontRecord(f, paletteIndex(f.color)));
    }

    void writeFormats()
    {
        for (const FixedFormat& f : kFixedFormats)
            m_out.record(Record::Format, BiffData().u16(f.index).unicode16(QString::fromUtf16(f.code)));
        for (std::size_t i = 0; i < m_formats.size(); ++i) {
            m_out.record(Record::Format,
                         BiffData().u16(static_cast<std::uint16_t>(kFirstCustomFormat + i)).unicode16(m_formats[i]));
        }
    }

    // ---- the shared string table ----------------------------------------------------------------------

    void writeSharedStrings()
    {
        // The counts are known once every text is written; they are put in place then.
        const std::int64_t countsPosition = m_out.position() + biff::kRecordHeaderSize;
        // One record's data at a time, gathered in place: there is a piece of it for every text cell.
        std::array<char, biff::kMaxRecordData> piece{};
        int used = 0;
        const auto append = [&](const char* data, qsizetype length) {
            std::memcpy(piece.data() + used, data, static_cast<std::size_t>(length));
            used += static_cast<int>(length);
        };
        bool first = true;
        std::int64_t pieceStart = m_out.position();
        const auto endPiece = [&] {
            m_out.record(first ? Record::SST : Record::Continue, piece.data(), used);
            first = false;
            used = 0;
            pieceStart = m_out.position();
        };
        const auto room = [&] { return biff::kMaxRecordData - used; };

        const char counts[2 * sizeof(std::uint32_t)] = {};
        append(counts, sizeof counts);
        BiffData buckets;
        buckets.u16(kStringsPerBucket);
        std::uint32_t entry = 0;
        m_textCells.assign(m_sheets.size(), {});
        for (int i = 0; i < sheetCount(); ++i) {
            std::vector<bool>& textCells = m_textCells[static_cast<std::size_t>(i)];
            forEachRange(*m_sheets[static_cast<std::size_t>(i)], XlsValueUse::Texts,
                         [&](int, const XlsSheetCell& cell) {
                             textCells.push_back(cell.hasText);
                             if (!cell.hasText)
                                 return;
                             const QString& text = *cell.text;
                             if (room() <= kMinRoomForMore)
                                 endPiece();
                             if (entry % kStringsPerBucket == 0) {
                                 const auto offset = static_cast<std::uint16_t>(biff::kRecordHeaderSize + used);
                                 buckets.u32(static_cast<std::uint32_t>(pieceStart + offset)).u16(offset).u16(0);
                             }
                             ++entry;
                             char header[kStringHeaderSize];
                             qToLittleEndian(static_cast<std::uint16_t>(text.size()), header);
                             header[2] = static_cast<char>(kUncompressedFlag);
                             append(header, kStringHeaderSize);
                             // The characters go straight into the record, split where a record ends.
                             const char16_t* const characters = reinterpret_cast<const char16_t*>(text.utf16());
                             const qsizetype count = text.size();
                             qsizetype done = 0;
                             while (done < count) {
                                 const qsizetype n = std::min<qsizetype>(count - done, room() / 2);
                                 qToLittleEndian<char16_t>(characters + done, n, piece.data() + used);
                                 used += static_cast<int>(2 * n);
                                 done += n;
                                 if (done < count && room() <= kMinRoomForMore) {
                                     endPiece();
                                     const char flag = static_cast<char>(kUncompressedFlag);
                                     append(&flag, 1);
                                 }
                             }
                         });
        }
        // A workbook without texts has no string table.
        if (entry == 0)
            return;
        endPiece();
        m_out.record(Record::ExtSST, buckets);
        m_out.patch(countsPosition, BiffData().u32(entry).u32(entry).data());
    }

    // ---- a sheet --------------------------------------------------------------------------------------

    void writeSheet(const XlsSheetSource& sheet, bool selected, std::uint32_t& sharedIndex)
    {
        const XlsBounds used = sheet.usedArea();
        const int firstRow = sheet.isEmpty() ? 0 : used.top;
        const int endRow = sheet.isEmpty() ? 0 : used.bottom + 1;
        const int blocks = (endRow - firstRow + kRowsPerBlock - 1) / kRowsPerBlock;

        m_out.record(Record::BOF,
                     BiffData().u16(kBiff8Version).u16(kWorksheetType).u16(kBuild).u16(kBuildYear).u32(0).u32(0));
        const std::int64_t dbCellPositions = m_out.position() + biff::kRecordHeaderSize + 16;
        m_out.record(Record::Index, BiffData()
                                        .u32(0)
                                        .u32(static_cast<std::uint32_t>(firstRow))
                                        .u32(static_cast<std::uint32_t>(endRow))
                                        .u32(0)
                                        .zeros(4 * blocks));
        writeSheetSettings(sheet);
        m_out.record(Record::Dimensions, BiffData()
                                             .u32(static_cast<std::uint32_t>(firstRow))
                                             .u32(static_cast<std::uint32_t>(endRow))
                                             .u16(static_cast<std::uint16_t>(sheet.isEmpty() ? 0 : used.left))
                                             .u16(static_cast<std::uint16_t>(sheet.isEmpty() ? 0 : used.right + 1))
                                             .u16(0));
        // The blocks' positions go into the index in one piece once all are known: one patch of the
        // file rather than one per block.
        QByteArray positions(4 * blocks, '\0');
        for (int b = 0; b < blocks; ++b) {
            const int top = firstRow + b * kRowsPerBlock;
            const int bottom = std::min(endRow, top + kRowsPerBlock) - 1;
            const std::int64_t dbCell = writeRowBlock(sheet, top, bottom, sharedIndex);
            qToLittleEndian(static_cast<std::uint32_t>(dbCell), positions.data() + 4 * b);
        }
        if (blocks > 0)
            m_out.patch(dbCellPositions, positions);
        m_out.record(Record::Window2,
                     BiffData()
                         .u16(static_cast<std::uint16_t>(kWindow2Flags | (selected ? kWindow2Selected : 0)))
                         .u16(0)
                         .u16(0)
                         .u32(kGridColorIndex)
                         .u16(0)
                         .u16(0)
                         .u32(0));
        m_out.record(Record::Selection,
                     BiffData().u8(kActivePane).u16(0).u16(0).u16(0).u16(1).u16(0).u16(0).u8(0).u8(0));
        m_out.record(Record::EOF_);
    }

    void writeSheetSettings(const XlsSheetSource& sheet)
    {
        const XlsPageSetup& page = sheet.pageSetup();
        m_out.record(Record::CalcMode, BiffData().u16(kCalcAutomatic));
        m_out.record(Record::CalcCount, BiffData().u16(kIterationCount));
        m_out.record(Record::CalcRefMode, BiffData().u16(kA1References));
        m_out.record(Record::CalcIter, BiffData().u16(0));
        m_out.raw(bytesFromHex(kCalcDeltaRecord));
        m_out.record(Record::CalcSaveRecalc, BiffData().u16(1));
        m_out.record(Record::PrintRowCol, BiffData().u16(page.printHeadings ? 1 : 0));
        m_out.record(Record::PrintGrid, BiffData().u16(page.printGridlines ? 1 : 0));
        m_out.record(Record::GridSet, BiffData().u16(1));
        m_out.record(Record::Guts, BiffData().zeros(8));
        m_out.record(Record::DefaultRowHeight, BiffData().u16(0).u16(kRowHeight));
        m_out.record(Record::WsBool, BiffData().u16(kWsBoolFlags));
        m_out.record(Record::Header, page.header.isEmpty() ? BiffData() : BiffData().unicode16(page.header));
        m_out.record(Record::Footer, page.footer.isEmpty() ? BiffData() : BiffData().unicode16(page.footer));
        m_out.record(Record::HCenter, BiffData().u16(page.centerHorizontally ? 1 : 0));
        m_out.record(Record::VCenter, BiffData().u16(page.centerVertically ? 1 : 0));
        m_out.record(Record::LeftMargin, BiffData().f64(page.leftMargin));
        m_out.record(Record::RightMargin, BiffData().f64(page.rightMargin));
        m_out.record(Record::TopMargin, BiffData().f64(page.topMargin));
        m_out.record(Record::BottomMargin, BiffData().f64(page.bottomMargin));
        m_out.record(Record::Setup, BiffData()
                                        .u16(static_cast<std::uint16_t>(page.paperSize))
                                        .u16(static_cast<std::uint16_t>(page.scale))
                                        .u16(static_cast<std::uint16_t>(page.firstPageNumber))
                                        .u16(static_cast<std::uint16_t>(page.fitWidth))
                                        .u16(static_cast<std::uint16_t>(page.fitHeight))
                                        .u16(page.landscape ? 0 : kPortraitFlag)
                                        .u16(0)
                                        .u16(0)
                                        .f64(page.headerMargin)
                                        .f64(page.footerMargin)
                                        .u16(static_cast<std::uint16_t>(page.copies)));
        m_out.record(Record::DefColWidth, BiffData().u16(kDefaultColumnWidth));
        for (const auto& [column, characters] : sheet.columnWidths()) {
            const auto width = static_cast<std::uint16_t>(std::clamp(
                std::lround(characters * kColumnWidthUnitsPerCharacter), 0L, static_cast<long>(kLargestColumnWidth)));
            m_out.record(Record::ColInfo, BiffData()
                                              .u16(static_cast<std::uint16_t>(column))
                                              .u16(static_cast<std::uint16_t>(column))
                                              .u16(width)
                                              .u16(static_cast<std::uint16_t>(kFirstListedXf))
                                              .u16(0)
                                              .u16(0));
        }
    }

    // Writes rows top…bottom: their Row records, their cells and the DBCell; returns the DBCell's position.
    std::int64_t writeRowBlock(const XlsSheetSource& sheet, int top, int bottom, std::uint32_t& sharedIndex)
    {
        const std::int64_t blockStart = m_out.position();
        for (int row = top; row <= bottom; ++row) {
            const auto [firstColumn, endColumn] = sheet.columnSpan(row);
            // Row, first column, column after the last, height, then four words of zero: assembled in
            // place, one for every row.
            char d[kRowRecordSize - biff::kRecordHeaderSize] = {};
            qToLittleEndian(static_cast<std::uint16_t>(row), d);
            qToLittleEndian(static_cast<std::uint16_t>(firstColumn), d + 2);
            qToLittleEndian(static_cast<std::uint16_t>(endColumn), d + 4);
            qToLittleEndian(kRowHeight, d + 6);
            m_out.record(Record::Row, d, static_cast<int>(sizeof d));
        }
        std::vector<std::int64_t> cellStarts;
        for (int row = top; row <= bottom; ++row) {
            cellStarts.push_back(m_out.position());
            writeCells(sheet, row, sharedIndex);
        }
        const std::int64_t dbCell = m_out.position();
        BiffData offsets;
        offsets.u32(static_cast<std::uint32_t>(dbCell - blockStart));
        for (std::size_t i = 0; i < cellStarts.size(); ++i) {
            const std::int64_t from = i == 0 ? blockStart + kRowRecordSize : cellStarts[i - 1];
            offsets.u16(static_cast<std::uint16_t>(cellStarts[i] - from));
        }
        m_out.record(Record::DBCell, offsets);
        return dbCell;
    }

    void writeCells(const XlsSheetSource& sheet, int row, std::uint32_t& sharedIndex)
    {
        // The string table gave each text its index in order: here only whether a cell has one matters,
        // and the string table's visit noted that for every cell, so the texts are not read again.
        for (const XlsSheetCell& cell : sheet.rowCells(row, XlsValueUse::Numbers)) {
            const bool hasText = (*m_sheetTextCells)[m_nextCell++];
            // Row, column and XF, then the value: assembled in place, as there are a great many.
            char d[kCellHeadSize + sizeof(double)];
            qToLittleEndian(static_cast<std::uint16_t>(row), d);
            qToLittleEndian(static_cast<std::uint16_t>(cell.bounds.left), d + 2);
            qToLittleEndian(xfOf(cell), d + 4);
            if (cell.number) {
                qToLittleEndian(std::bit_cast<std::uint64_t>(*cell.number), d + kCellHeadSize);
                m_out.record(Record::Number, d, kCellHeadSize + sizeof(double));
            } else if (hasText) {
                qToLittleEndian(sharedIndex++, d + kCellHeadSize);
                m_out.record(Record::LabelSst, d, kCellHeadSize + sizeof(std::uint32_t));
            } else {
                m_out.record(Record::Blank, d, kCellHeadSize);
            }
        }
    }

    int sheetCount() const { return static_cast<int>(m_sheets.size()); }

    QString m_title;
    std::span<const XlsSheetSource* const> m_sheets;
    BiffStream& m_out;
    std::vector<FontKey> m_fonts;     // after the fixed four
    std::vector<QString> m_formats;   // from index 50 on
    std::vector<QByteArray> m_xfList; // from XF 15 on
    std::map<std::pair<const XlsCellStyle*, bool>, std::uint16_t> m_xfOfStyle;
    std::vector<std::int64_t> m_boundSheetPositions;
    // Whether each range of each sheet holds a text, in visiting order, as the string table found.
    std::vector<std::vector<bool>> m_textCells;
    const std::vector<bool>* m_sheetTextCells = nullptr; // the sheet being written's
    std::size_t m_nextCell = 0;                          // its next range
};

} // namespace

void XlsWriter::saveAsXls(const XlsWorkbook& workbook, const QString& path)
{
    std::vector<const XlsSheetSource*> sheets;
    for (int i = 0; i < workbook.sheetCount(); ++i)
        sheets.push_back(&workbook.sheet(i));
    saveAsXls(workbook.title(), sheets, path);
}

void XlsWriter::saveAsXls(const QString& title, std::span<const XlsSheetSource* const> sheets, const QString& path)
{
    CompoundFileWriter file(path, kWorkbookStream);
    BiffStream stream(file);
    WorkbookStreamWriter(title.left(XlsWorkbook::kMaxTitleLength).trimmed(), sheets, stream).write();
    stream.flush();
    file.finish();
}

} // namespace darni::output::xls
