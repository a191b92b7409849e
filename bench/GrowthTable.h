#pragma once
// How each job's time grows with its picture: every registered job runs at 256 x 256,
// 512 x 512 ... 4096 x 4096, timed in the calling thread's CPU time (the median of a few
// runs, fewer at the large sizes), and the table shows nanoseconds per pixel at each size
// and the largest size's figure over the smallest's (1.00: time linear in pixels).

#include <cstdint>
#include <functional>
#include <string>

namespace moirelle::bench {

// One job at one size.
struct GrowthRun {
    double pixels = 0;             // what the figure is per (the job's output pixels)
    std::function<void()> prepare; // untimed, before every timed run (may be empty)
    std::function<void()> run;     // timed
};

// Jobs are registered by static objects of the benchmark files, by name and a maker of
// the job at a side length (its inputs are made only when it runs).
void RegisterGrowthJob(std::string name, std::function<GrowthRun(int32_t side)> make);

// Runs every job whose name contains `filter` (all for an empty one) and prints the table.
void RunGrowthTable(const std::string& filter);

} // namespace moirelle::bench
