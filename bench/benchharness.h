// A small harness for the benchmarks: timed repetitions, medians and the RATIO lines people and
// scripts read.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace darni::bench {

// Seconds one call of `work` takes.
double secondsOf(const std::function<void()>& work);

double median(std::vector<double> values);

// Runs `subject` and `reference` alternately `repetitions` times and returns the median of the
// per-repetition ratios subject / reference, so that both see the same machine load.
struct Comparison
{
    double subjectSeconds;   // median
    double referenceSeconds; // median
    double ratio;            // median of the paired ratios
};
Comparison compare(int repetitions, const std::function<void()>& subject, const std::function<void()>& reference);

// The process's peak resident memory so far, in MiB.
double peakResidentMib();
// The process's resident memory now, in MiB (what it holds, after what it gave back).
double currentResidentMib();

// The reference for writers: the same number of bytes written front to back with buffered stdio.
void writeSequentially(const std::string& path, long bytes);

// The same for writers that put a whole file in place: written as above to a new file, synced,
// renamed to `path` and the folder synced.
void writeSequentiallyAndSync(const std::string& path, long bytes);

// The floor of an all-or-nothing rewrite of the file at `source`: its bytes read and written to a new
// file beside it, synced, renamed over `target` and the folder synced, as no safe rewrite can skip.
void copyAndSync(const std::string& source, const std::string& target);

struct Measured
{
    double seconds = 0;
    double peakMib = 0;
};
// Runs a program (argv[0] a path) to its end, its output thrown away: wall time and the peak resident
// memory the kernel reports for it.
Measured runMeasured(const std::vector<std::string>& argv);

// "RATIO <name> <ratio> goal <= <goal>", preceded by the two medians.
void printRatio(const std::string& name, const Comparison& c, double goal);

} // namespace darni::bench
