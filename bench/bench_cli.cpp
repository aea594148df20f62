// `darni-cli delete` of 1,000 rows spread over a 120,000-row table, in a process of its own, against
// the floor of any all-or-nothing rewrite of that table: a synced copy of the same file renamed into
// place, in the same run.
#include "benchharness.h"
#include "measurementtable.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

using namespace darni;

namespace {

constexpr int kRows = 120000;
constexpr int kDeletedRows = 1000;
constexpr int kRepetitions = 7;
constexpr double kDeleteGoal = 1.5;

// Every hundredth position of the page, so the deleted rows are spread over the whole file.
std::string spreadPositions()
{
    std::string positions;
    for (int i = 0; i < kDeletedRows; ++i) {
        if (!positions.empty())
            positions += ',';
        positions += std::to_string(1 + i * (kRows / kDeletedRows));
    }
    return positions;
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString pristine = dir.filePath(QStringLiteral("pristine.db"));
    const std::string floorCopy = dir.filePath(QStringLiteral("floor.db")).toStdString();
    bench::makeMeasurementTable(pristine, kRows);
    const std::string positions = spreadPositions();

    std::vector<double> subjects;
    std::vector<double> references;
    std::vector<double> ratios;
    for (int i = 0; i < kRepetitions; ++i) {
        // Each repetition in a folder of its own, so that none finds the undo copy an earlier one left
        // (dropping it would add the freeing of a whole table's blocks to every repetition but the first).
        QDir(dir.path()).mkdir(QString::number(i));
        const QString table = dir.filePath(QString::number(i) + QStringLiteral("/bench.db"));
        QFile::copy(pristine, table);
        const std::string path = table.toStdString();
        const double s = bench::runMeasured({DARNI_CLI, "delete", "--rows", positions, path}).seconds;
        const double r = bench::secondsOf([&] { bench::copyAndSync(path, floorCopy); });
        QDir(dir.filePath(QString::number(i))).removeRecursively();
        subjects.push_back(s);
        references.push_back(r);
        ratios.push_back(s / r);
    }
    std::printf("cli: %d rows, %d deleted\n", kRows, kDeletedRows);
    bench::printRatio("cli.delete", {bench::median(subjects), bench::median(references), bench::median(ratios)},
                      kDeleteGoal);
    return 0;
}
