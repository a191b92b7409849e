// Runs every registered benchmark, then prints, for each case, our time divided by each
// peer's. Benchmarks are named "<case>/<implementation>", the implementation "ours" (or
// starting with "ours") for this project's code; every other implementation is a peer.
#include <benchmark/benchmark.h>

#include <cstdio>
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
