// How a text fits a report cell: the fonts of the reports, and the text broken into lines at word
// boundaries (inside a word only when the word alone is wider than the cell), keeping the lines
// that fit the cell's fixed height. Measured at a fine resolution of its own, so the result does not
// depend on a screen or a printer.
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QStringList>

#include <array>
#include <optional>

namespace darni::output::report {

enum class CellFont { Title, Heading, Data, Footer };

class TextFitter
{
public:
    explicit TextFitter(int headingPoints);

    // The font as printed (points), for a painter on any device.
    QFont font(CellFont which) const;
    // Widths and heights in report units.
    double width(CellFont which, const QString& text) const;
    double lineHeight(CellFont which) const;
    QStringList fit(CellFont which, const QString& text, double width, double height) const;
    // The largest size (points, in steps of a tenth) in which the text fits the width on one line, when
    // the font's own size does not; nothing when it fits as it is.
    std::optional<double> shrunkPoints(CellFont which, const QString& text, double width) const;

    // A number, a date or a time keeps every character: on one line, drawn smaller where it is wider
    // than the cell, down to the readable floor; below that, broken into as few lines of equal length
    // as fit the width at the floor or larger. `points` is 0 for the font's own size.
    struct WholeText
    {
        QStringList lines;
        double points = 0;
    };
    WholeText fitWhole(CellFont which, const QString& text, double width) const;
    // The height of a line in a size (points; 0 for the font's own), in report units.
    double lineHeight(CellFont which, double points) const;
    // The most characters that fitWhole() keeps within the height whatever they are: the characters
    // of numbers, dates and times, or any letters when `anyLetters`.
    int wholeCapacity(CellFont which, double width, double height, bool anyLetters) const;

private:
    QFontMetricsF metricsAt(CellFont which, double points) const;
    QStringList wrap(CellFont which, const QString& paragraph, double width) const;

    std::array<QFont, 4> m_fonts;
    std::array<QFont, 4> m_measureFonts;
    std::array<QFontMetricsF, 4> m_metrics;
    // Reports repeat their texts (dates, names, numbers) row after row; each is measured once.
    mutable std::array<QHash<QString, double>, 4> m_widths;
};

} // namespace darni::output::report
