#include "bench/GrowthTable.h"

#include "dib/VectorLevel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace moirelle::bench {
namespace {

struct Registered {
    std::string name;
    std::function<GrowthRun(int32_t)> make;
};

std::vector<Registered>& Jobs() {
    static std::vector<Registered> jobs;
    return jobs;
}

constexpr int32_t kSides[] = {256, 512, 1024, 2048, 4096};

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Median nanoseconds per pixel: about 2^26 pixels' worth of runs, 3 to 201 of them.
double NanosecondsPerPixel(GrowthRun& job) {
    const int runs = static_cast<int>(std::clamp((1 << 26) / job.pixels, 3.0, 201.0));
    if (job.prepare) job.prepare(); // one untimed warm-up run
    job.run();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (job.prepare) job.prepare();
        const double start = ThreadSeconds();
        job.run();
        times.push_back(ThreadSeconds() - start);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[static_cast<size_t>(runs / 2)] * 1e9 / job.pixels;
}

// A plain copy of the pixels, the machine's own growth through its caches.
const bool registered = [] {
    RegisterGrowthJob("memcpy (reference)", [](int32_t side) {
        const size_t bytes = static_cast<size_t>(side) * side * 4;
        auto from = std::make_shared<std::vector<uint8_t>>(bytes, 1);
        auto to = std::make_shared<std::vector<uint8_t>>(bytes, 0);
        return GrowthRun{static_cast<double>(side) * side, nullptr,
                         [from, to] { std::memcpy(to->data(), from->data(), from->size()); }};
    });
    return true;
}();

} // namespace

void RegisterGrowthJob(std::string name, std::function<GrowthRun(int32_t side)> make) {
    Jobs().push_back({std::move(name), std::move(make)});
}

void RunGrowthTable(const std::string& filter) {
    std::vector<const Registered*> jobs;
    for (const Registered& r : Jobs())
        if (filter.empty() || r.name.find(filter) != std::string::npos) jobs.push_back(&r);
    // One pass at the smallest size first, not counted: the first figures would otherwise
    // carry the process's start (a fresh heap's page faults, the clock coming up).
    for (const Registered* job : jobs) {
        GrowthRun run = job->make(kSides[0]);
        NanosecondsPerPixel(run);
    }
    // Size by size, so that inputs shared by several jobs are made once per size.
    std::vector<std::vector<double>> figures(jobs.size());
    for (int32_t side : kSides)
        for (size_t j = 0; j < jobs.size(); ++j) {
            GrowthRun run = jobs[j]->make(side);
            figures[j].push_back(NanosecondsPerPixel(run));
        }
    std::printf("Growth with size: ns per pixel (median thread CPU time), vector level %s\n",
                VectorLevelName(ActiveVectorLevel()));
    std::printf("%-34s", "job");
    for (int32_t side : kSides)
        std::printf(" %7d^2", side);
    std::printf("   %d^2 / %d^2\n", kSides[std::size(kSides) - 1], kSides[0]);
    for (size_t j = 0; j < jobs.size(); ++j) {
        std::printf("%-34s", jobs[j]->name.c_str());
        for (double ns : figures[j])
            std::printf(" %9.3f", ns);
        std::printf("   %.2f\n", figures[j].back() / figures[j].front());
    }
    std::fflush(stdout);
}

} // namespace moirelle::bench
