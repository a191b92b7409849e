// Runs the side-by-side cases (bench/PairedRuns.h), then every registered benchmark, then
// prints, for each benchmark case, our time divided by each peer's.
// --paired=TEXT runs only the side-by-side cases whose name contains TEXT ("none": none),
// --paired-reps=N sets their repetitions (default 31), --paired-only skips the rest;
// --memory measures the peak memory of a large PNG decode (also run when no --paired=TEXT
// is given); --growth (or --growth=TEXT for the jobs whose name contains TEXT) prints how
// each job's time grows from 256^2 to 4096^2 pixels and runs nothing else. Benchmarks are
// named "<case>/<implementation>", the implementation "ours" (or starting with "ours") for this
// project's code; every other implementation is a peer.
#include "bench/GrowthTable.h"
#include "bench/PairedRuns.h"
#include "bench/PeakMemory.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            const std::string name = run.benchmark_name();
            const size_t slash = name.rfind('/');
            if (slash == std::string::npos) continue;
            times_[name.substr(0, slash)][name.substr(slash + 1)] = run.GetAdjustedRealTime();
        }
    }

    void PrintRatios() const {
        std::printf("\n%-44s %-22s %10s\n", "case", "ours / peer", "ratio");
        for (const auto& [caseName, impls] : times_) {
            for (const auto& [ours, ourTime] : impls) {
                if (ours.rfind("ours", 0) != 0) continue;
                for (const auto& [peer, peerTime] : impls) {
                    if (peer.rfind("ours", 0) == 0 || peerTime <= 0) continue;
                    std::printf("%-44s %-22s %10.2f\n", caseName.c_str(),
                                (ours + " / " + peer).c_str(), ourTime / peerTime);
                }
            }
        }
    }

  private:
    std::map<std::string, std::map<std::string, double>> times_;
};

} // namespace

int main(int argc, char** argv) {
    std::string pairedFilter;
    int pairedReps = 31;
    bool pairedOnly = false;
    bool memory = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--paired=", 0) == 0)
            pairedFilter = arg.substr(9);
        else if (arg.rfind("--paired-reps=", 0) == 0)
            pairedReps = std::max(1, std::atoi(arg.c_str() + 14));
        else if (arg == "--paired-only")
            pairedOnly = true;
        else if (arg == "--memory")
            memory = true;
        else if (arg == "--growth" || arg.rfind("--growth=", 0) == 0) {
            moirelle::bench::RunGrowthTable(arg.size() > 9 ? arg.substr(9) : "");
            return 0;
        } else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (pairedFilter != "none") moirelle::bench::RunPairedCases(pairedFilter, pairedReps);
    if (memory || pairedFilter.empty()) moirelle::bench::RunPeakMemory();
    if (pairedOnly) return 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
