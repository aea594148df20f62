// The stored layout of a grid's columns, as text.
#include "gridlayout.h"

#include <QStringList>

#include <array>
#include <functional>
#include <utility>

namespace darni::view {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kObjectLine = QStringLiteral("object GridLayout");
const QString kDataLine = QStringLiteral("Data = <");
const QString kEmptyDataLine = QStringLiteral("Data = <>");
const QString kItemLine = QStringLiteral("item");
const QString kItemEndLine = QStringLiteral("end");
const QString kLastItemEndLine = QStringLiteral("end>");
const QString kObjectEndLine = QStringLiteral("end");
const QString kAssignment = QStringLiteral(" = ");
constexpr QChar kQuote = u'\'';
constexpr int kMaxWidth = 0xFFFF;
constexpr int kMaxLayoutIndex = 0xFF;

constexpr std::array<std::pair<TitleState, const char16_t*>, 3> kTitleStateNames{{
    {TitleState::SortedNone, u"SortedNone"},
    {TitleState::SortedUp, u"SortedUp"},
    {TitleState::SortedDown, u"SortedDown"},
}};

constexpr std::array<std::pair<Qt::AlignmentFlag, const char16_t*>, 3> kAlignmentNames{{
    {Qt::AlignLeft, u"Left"},
    {Qt::AlignRight, u"Right"},
    {Qt::AlignHCenter, u"Center"},
}};

QString quoted(const QString& text)
{
    QString doubled = text;
    doubled.replace(kQuote, QString(2, kQuote));
    return kQuote + doubled + kQuote;
}

std::optional<QString> unquoted(const QString& value)
{
    if (value.size() < 2 || !value.startsWith(kQuote) || !value.endsWith(kQuote))
        return std::nullopt;
    const QString inner = value.mid(1, value.size() - 2);
    QString text;
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == kQuote) {
            if (i + 1 >= inner.size() || inner[i + 1] != kQuote)
                return std::nullopt;
            ++i;
        }
        text += inner[i];
    }
    return text;
}

std::optional<int> boundedNumber(const QString& value, int highest)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 0 || n > highest)
        return std::nullopt;
    return n;
}

template <typename T, std::size_t N>
std::optional<T> named(const std::array<std::pair<T, const char16_t*>, N>& names, const QString& value)
{
    for (const auto& [v, name] : names) {
        if (value == QStringView(name))
            return v;
    }
    return std::nullopt;
}

template <typename T, std::size_t N>
QString nameOf(const std::array<std::pair<T, const char16_t*>, N>& names, T v)
{
    for (const auto& [candidate, name] : names) {
        if (candidate == v)
            return QString::fromUtf16(name);
    }
    return QString::fromUtf16(names.front().second);
}

Qt::AlignmentFlag horizontal(Qt::Alignment a)
{
    if (a.testFlag(Qt::AlignRight))
        return Qt::AlignRight;
    if (a.testFlag(Qt::AlignHCenter))
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// One stored property: its name, its text unless it has the default value, and how to read it back.
struct Property
{
    const char* name;
    std::function<std::optional<QString>(const ColumnLayout&)> write;
    std::function<bool(ColumnLayout&, const QString&)> read;
};

const std::vector<Property>& properties()
{
    static const std::vector<Property> kProperties = {
        {"FieldName", [](const ColumnLayout& c) { return std::optional(quoted(c.fieldName)); },
         [](ColumnLayout& c, const QString& v) {
             const auto text = unquoted(v);
             if (!text || text->isEmpty())
                 return false;
             c.fieldName = *text;
             return true;
         }},
        {"Width",
         [](const ColumnLayout& c) {
             return c.width == ColumnLayout::kDefaultWidth ? std::nullopt : std::optional(QString::number(c.width));
         },
         [](ColumnLayout& c, const QString& v) {
             const auto n = boundedNumber(v, kMaxWidth);
             c.width = n.value_or(0);
             return n.has_value();
         }},
        {"WidthUnit",
         [](const ColumnLayout& c) {
             return c.widthUnit == 0 ? std::nullopt : std::optional(QString::number(c.widthUnit));
         },
         [](ColumnLayout& c, const QString& v) {
             const auto n = boundedNumber(v, kMaxWidth);
             c.widthUnit = n.value_or(0);
             return n.has_value();
         }},
        {"LayoutIndex",
         [](const ColumnLayout& c) {
             return c.layoutIndex == 0 ? std::nullopt : std::optional(QString::number(c.layoutIndex));
         },
         [](ColumnLayout& c, const QString& v) {
             const auto n = boundedNumber(v, kMaxLayoutIndex);
             c.layoutIndex = n.value_or(0);
             return n.has_value();
         }},
        {"TitleState",
         [](const ColumnLayout& c) {
             return c.titleState == TitleState::SortedNone ? std::nullopt
                                                           : std::optional(nameOf(kTitleStateNames, c.titleState));
         },
         [](ColumnLayout& c, const QString& v) {
             const auto state = named(kTitleStateNames, v);
             c.titleState = state.value_or(TitleState::SortedNone);
             return state.has_value();
         }},
        {"Color",
         [](const ColumnLayout& c) {
             return c.color.isValid() ? std::optional(c.color.name(QColor::HexRgb)) : std::nullopt;
         },
         [](ColumnLayout& c, const QString& v) {
             c.color = QColor::fromString(v);
             return c.color.isValid();
         }},
        {"Alignment",
         [](const ColumnLayout& c) {
             const Qt::AlignmentFlag h = horizontal(c.alignment);
             return h == Qt::AlignLeft ? std::nullopt : std::optional(nameOf(kAlignmentNames, h));
         },
         [](ColumnLayout& c, const QString& v) {
             const auto h = named(kAlignmentNames, v);
             c.alignment = h.value_or(Qt::AlignLeft) | Qt::AlignVCenter;
             return h.has_value();
         }},
        {"Font",
         [](const ColumnLayout& c) { return c.font ? std::optional(quoted(c.font->toString())) : std::nullopt; },
         [](ColumnLayout& c, const QString& v) {
             const auto text = unquoted(v);
             QFont font;
             if (!text || !font.fromString(*text))
                 return false;
             c.font = font;
             return true;
         }},
    };
    return kProperties;
}

// Reads "Name = value" into the column; unknown names are passed over.
bool readProperty(ColumnLayout& column, const QString& line)
{
    const qsizetype at = line.indexOf(kAssignment);
    if (at <= 0)
        return false;
    const QString name = line.left(at);
    const QString value = line.mid(at + kAssignment.size());
    for (const Property& p : properties()) {
        if (name == QLatin1String(p.name))
            return p.read(column, value);
    }
    return true;
}

} // namespace

QString GridLayout::toText() const
{
    QStringList lines{kObjectLine};
    if (columns.empty()) {
        lines << QStringLiteral("  ") + kEmptyDataLine;
    } else {
        lines << QStringLiteral("  ") + kDataLine;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            lines << QStringLiteral("    ") + kItemLine;
            for (const Property& p : properties()) {
                if (const auto value = p.write(columns[i]))
                    lines << QStringLiteral("      ") + QLatin1String(p.name) + kAssignment + *value;
            }
            lines << QStringLiteral("    ") + (i + 1 == columns.size() ? kLastItemEndLine : kItemEndLine);
        }
    }
    lines << kObjectEndLine;
    return lines.join(kLineEnd) + kLineEnd;
}

std::optional<GridLayout> GridLayout::fromText(const QString& text)
{
    QStringList lines;
    for (const QString& line : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
    }
    qsizetype i = 0;
    const auto take = [&](const QString& expected) {
        if (i >= lines.size() || lines[i] != expected)
            return false;
        ++i;
        return true;
    };
    if (!take(kObjectLine))
        return std::nullopt;
    GridLayout layout;
    if (!take(kEmptyDataLine)) {
        if (!take(kDataLine))
            return std::nullopt;
        bool last = false;
        while (!last) {
            if (!take(kItemLine))
                return std::nullopt;
            ColumnLayout column;
            for (;;) {
                if (i >= lines.size())
                    return std::nullopt;
                const QString& line = lines[i++];
                if (line == kItemEndLine || line == kLastItemEndLine) {
                    last = line == kLastItemEndLine;
                    break;
                }
                if (!readProperty(column, line))
                    return std::nullopt;
            }
            if (column.fieldName.isEmpty())
                return std::nullopt;
            layout.columns.push_back(std::move(column));
        }
    }
    if (!take(kObjectEndLine) || i != lines.size())
        return std::nullopt;
    return layout;
}

} // namespace darni::view
