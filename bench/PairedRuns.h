#pragma once
// Side-by-side timing for jobs whose peers are noisy to compare one after the other:
// each repetition runs every implementation of a case once, in an order that rotates
// from repetition to repetition, timed in the calling thread's CPU time; the table shows
// the median of each and our median divided by each peer's and by the best (fastest)
// peer's. Implementations are named "ours ..." for this project's code; the rest are
// peers, except "memcpy", a plain copy of the output shown beside them (the best only
// where there is no peer).

#include <functional>
#include <string>
#include <vector>

namespace moirelle::bench {

struct PairedImpl {
    std::string name;
    std::function<void()> prepare; // untimed, before every timed run (may be empty)
    std::function<void()> run;     // timed
};

struct PairedCase {
    std::string name;
    std::vector<PairedImpl> impls;
};

// Cases are registered by static objects of the benchmark files, by name and a maker
// that prepares their inputs only when the case runs.
void RegisterPairedCase(std::string name, std::function<PairedCase()> make);

// Runs every case whose name contains `filter` (all for an empty one) `repetitions`
// times and prints the table.
void RunPairedCases(const std::string& filter, int repetitions);

} // namespace moirelle::bench
