// How a text fits a report cell.
#include "textfitter.h"

#include "reportlayout.h"

#include <cmath>

namespace darni::output::report {

namespace {

constexpr double kMeasureDotsPerInch = 7200.0;
constexpr double kPointsPerInch = 72.0;
constexpr double kPointStep = 0.1;
constexpr qsizetype kMostWidthsKept = 4096;
constexpr double kSmallestPoints = 1.0;
const QString kFontFamily = QStringLiteral("Arial");

QFont printFont(int points, bool bold)
{
    QFont f(kFontFamily);
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

QFont measureFont(const QFont& printed)
{
    QFont f = printed;
    f.setPixelSize(static_cast<int>(std::lround(printed.pointSizeF() * kMeasureDotsPerInch / kPointsPerInch)));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

std::size_t indexOf(CellFont which)
{
    return static_cast<std::size_t>(which);
}

} // namespace

TextFitter::TextFitter(int headingPoints)
    : m_fonts{printFont(kTitlePoints, true), printFont(headingPoints, true), printFont(kDataPoints, false),
              printFont(kFooterPoints, false)},
      m_measureFonts{measureFont(m_fonts[0]), measureFont(m_fonts[1]), measureFont(m_fonts[2]),
                     measureFont(m_fonts[3])},
      m_metrics{QFontMetricsF(m_measureFonts[0]), QFontMetricsF(m_measureFonts[1]), QFontMetricsF(m_measureFonts[2]),
                QFontMetricsF(m_measureFonts[3])}
{
}

QFont TextFitter::font(CellFont which) const
{
    return m_fonts[indexOf(which)];
}

double TextFitter::width(CellFont which, const QString& text) const
{
    auto& known = m_widths[indexOf(which)];
    const auto it = known.constFind(text);
    if (it != known.constEnd())
        return *it;
    const double w = m_metrics[indexOf(which)].horizontalAdvance(text) / kMeasureDotsPerInch * kUnitsPerInch;
    // Row numbers and times rarely come again: a long report would otherwise keep every one.
    if (known.size() >= kMostWidthsKept)
        known.clear();
    known.insert(text, w);
    return w;
}

double TextFitter::lineHeight(CellFont which) const
{
    return m_metrics[indexOf(which)].height() / kMeasureDotsPerInch * kUnitsPerInch;
}

QFontMetricsF TextFitter::metricsAt(CellFont which, double points) const
{
    QFont f = m_measureFonts[indexOf(which)];
    f.setPixelSize(static_cast<int>(std::lround(points * kMeasureDotsPerInch / kPointsPerInch)));
    return QFontMetricsF(f);
}

double TextFitter::lineHeight(CellFont which, double points) const
{
    if (points <= 0)
        return lineHeight(which);
    return metricsAt(which, points).height() / kMeasureDotsPerInch * kUnitsPerInch;
}

std::optional<double> TextFitter::shrunkPoints(CellFont which, const QString& text, double maxWidth) const
{
    const double natural = width(which, text);
    if (natural <= maxWidth || natural <= 0)
        return std::nullopt;
    const double ownPoints = m_fonts[indexOf(which)].pointSizeF();
    // Widths grow with the size; start where proportion puts the size and step down until it fits.
    double points = std::floor(ownPoints * maxWidth / natural / kPointStep) * kPointStep;
    while (points > kSmallestPoints) {
        if (metricsAt(which, points).horizontalAdvance(text) / kMeasureDotsPerInch * kUnitsPerInch <= maxWidth)
            break;
        points -= kPointStep;
    }
    return std::max(points, kSmallestPoints);
}

TextFitter::WholeText TextFitter::fitWhole(CellFont which, const QString& text, double maxWidth) const
{
    const auto shrunk = shrunkPoints(which, text, maxWidth);
    if (!shrunk)
        return {{text}, 0};
    if (*shrunk >= kReadablePoints)
        return {{text}, *shrunk};
    // Lines of equal length, as few as fit at the floor; each then as large as the widest allows.
    const auto length = text.size();
    for (qsizetype count = 2; count <= length; ++count) {
        const qsizetype each = (length + count - 1) / count;
        QStringList lines;
        double points = m_fonts[indexOf(which)].pointSizeF();
        for (qsizetype at = 0; at < length; at += each) {
            lines << text.mid(at, each);
            points = std::min(points, shrunkPoints(which, lines.back(), maxWidth).value_or(points));
        }
        if (points >= kReadablePoints || each == 1)
            return {lines, points == m_fonts[indexOf(which)].pointSizeF() ? 0 : points};
    }
    return {{text}, *shrunk};
}

int TextFitter::wholeCapacity(CellFont which, double maxWidth, double maxHeight, bool anyLetters) const
{
    // The widest of each kind, so that the count holds for any text of them.
    static const QString kNumberCharacters = QStringLiteral("0123456789,.:-+E ");
    static const QString kWideLetters = QStringLiteral("WMШЩЖЮ@%");
    const QFontMetricsF floor = metricsAt(which, kReadablePoints);
    double widest = 0;
    for (const QString& set : {kNumberCharacters, anyLetters ? kWideLetters : QString()}) {
        for (const QChar c : set)
            widest = std::max(widest, floor.horizontalAdvance(c) / kMeasureDotsPerInch * kUnitsPerInch);
    }
    const auto perLine = static_cast<int>(std::floor(maxWidth / widest));
    // Broken lines may be as large as the font's own size.
    const auto lines = static_cast<int>(std::floor(maxHeight / lineHeight(which)));
    return std::max(perLine, 0) * std::max(lines, 1);
}

QStringList TextFitter::wrap(CellFont which, const QString& paragraph, double maxWidth) const
{
    QStringList lines;
    QString line;
    const auto fits = [&](const QString& s) { return width(which, s) <= maxWidth; };
    // Words with the blanks before them, so the text keeps its own spacing within a line.
    qsizetype at = 0;
    while (at < paragraph.size()) {
        qsizetype end = at;
        while (end < paragraph.size() && paragraph[end] == u' ')
            ++end;
        while (end < paragraph.size() && paragraph[end] != u' ')
            ++end;
        const QString token = paragraph.mid(at, end - at);
        at = end;
        const QString joined = line + token;
        if (fits(joined) || (line.isEmpty() && token.trimmed().isEmpty())) {
            line = joined;
            continue;
        }
        if (!line.isEmpty())
            lines << line;
        line = token.trimmed();
        // A word wider than the cell goes on over as many lines as it needs.
        while (!fits(line) && line.size() > 1) {
            qsizetype n = line.size() - 1;
            while (n > 1 && !fits(line.left(n)))
                --n;
            lines << line.left(n);
            line = line.mid(n);
        }
    }
    if (!line.isEmpty() || lines.isEmpty())
        lines << line;
    return lines;
}

QStringList TextFitter::fit(CellFont which, const QString& text, double maxWidth, double maxHeight) const
{
    if (text.isEmpty())
        return {};
    QStringList lines;
    for (const QString& paragraph : QString(text).remove(u'\r').split(u'\n'))
        lines += wrap(which, paragraph, maxWidth);
    // What does not fit the cell's height is cut at its border.
    const auto room = static_cast<qsizetype>(std::floor(maxHeight / lineHeight(which)));
    if (lines.size() > room)
        lines.resize(std::max<qsizetype>(room, 0));
    return lines;
}

} // namespace darni::output::report
