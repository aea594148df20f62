// A small harness for the benchmarks.
#include "benchharness.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

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

double peakResidentMib()
{
    constexpr double kKibPerMib = 1024.0;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / kKibPerMib;
}

double currentResidentMib()
{
    constexpr double kBytesPerMib = 1024.0 * 1024.0;
    long pages = 0;
    long resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / kBytesPerMib;
}

void writeSequentially(const std::string& path, long bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return;
    const std::vector<char> block(64 * 1024, 'x');
    for (long done = 0; done < bytes; done += static_cast<long>(block.size()))
        std::fwrite(block.data(), 1,
                    static_cast<std::size_t>(std::min<long>(bytes - done, static_cast<long>(block.size()))), out);
    std::fclose(out);
}

namespace {

void syncFolderOf(const std::string& path)
{
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    ::fsync(dir);
    ::close(dir);
}

} // namespace

void writeSequentiallyAndSync(const std::string& path, long bytes)
{
    const std::string temporary = path + ".tmp";
    writeSequentially(temporary, bytes);
    const int written = ::open(temporary.c_str(), O_WRONLY);
    ::fsync(written);
    ::close(written);
    std::rename(temporary.c_str(), path.c_str());
    syncFolderOf(path);
}

void copyAndSync(const std::string& source, const std::string& target)
{
    constexpr std::size_t kBlockBytes = 1 << 20;
    const std::string temporary = target + ".tmp";
    const int in = ::open(source.c_str(), O_RDONLY);
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) {
        std::fprintf(stderr, "cannot copy %s\n", source.c_str());
        std::exit(1);
    }
    std::vector<char> block(kBlockBytes);
    for (ssize_t got; (got = ::read(in, block.data(), block.size())) > 0;) {
        if (::write(out, block.data(), static_cast<std::size_t>(got)) != got)
            std::exit(1);
    }
    ::fsync(out);
    ::close(out);
    ::close(in);
    std::rename(temporary.c_str(), target.c_str());
    syncFolderOf(target);
}

Measured runMeasured(const std::vector<std::string>& argv)
{
    constexpr double kKibPerMib = 1024.0;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(stdout); // the child must not inherit unwritten output
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s ended with status %d\n", args[0], status);
    return {seconds, static_cast<double>(usage.ru_maxrss) / kKibPerMib};
}

void printRatio(const std::string& name, const Comparison& c, double goal)
{
    std::printf("%s: %.4f s, reference %.4f s (medians)\n", name.c_str(), c.subjectSeconds, c.referenceSeconds);
    std::printf("RATIO %s %.2f goal <= %g\n", name.c_str(), c.ratio, goal);
    std::fflush(stdout);
}

} // namespace darni::bench
