// A small harness for the benchmarks.
#include "benchharness.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace darni::bench {

double secondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

Comparison compare(int repetitions, const std::function<void()>& subject, const std::function<void()>& reference)
{
    std::vector<double> subjects;
    std::vector<double> references;
    std::vector<double> ratios;
    for (int i = 0; i < repetitions; ++i) {
        const double r = secondsOf(reference);
        const double s = secondsOf(subject);
        references.push_back(r);
        subjects.push_back(s);
        ratios.push_back(s / r);
    }
    return {median(subjects), median(references), median(ratios)};
}

void printRatio(const std::string& name, const Comparison& c, double goal)
{
    std::printf("%s: %.4f s, reference %.4f s (medians)\n", name.c_str(), c.subjectSeconds, c.referenceSeconds);
    std::printf("RATIO %s %.2f goal <= %g\n", name.c_str(), c.ratio, goal);
    std::fflush(stdout);
}

} // namespace darni::bench
