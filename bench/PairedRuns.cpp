#include "bench/PairedRuns.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <random>

namespace moirelle::bench {
namespace {

struct Registered {
    std::string name;
    std::function<PairedCase()> make;
};

std::vector<Registered>& Cases() {
    static std::vector<Registered> cases;
    return cases;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool IsOurs(const std::string& name) {
    return name.rfind("ours", 0) == 0;
}

// A plain copy beside the peers: the least the job's output can cost, not a peer.
bool IsReference(const std::string& name) {
    return name == "memcpy";
}

} // namespace

void RegisterPairedCase(std::string name, std::function<PairedCase()> make) {
    Cases().push_back({std::move(name), std::move(make)});
}

void RunPairedCases(const std::string& filter, int repetitions) {
    std::printf("Side by side: median thread CPU time over %d interleaved repetitions\n",
                repetitions);
    std::printf("%-42s %-14s %9s   %s\n", "case", "implementation", "ms", "ours / peer");
    for (const Registered& r : Cases()) {
        if (!filter.empty() && r.name.find(filter) == std::string::npos) continue;
        PairedCase c = r.make();
        const size_t n = c.impls.size();
        std::vector<std::vector<double>> times(n);
        for (PairedImpl& impl : c.impls) { // one untimed warm-up run each
            if (impl.prepare) impl.prepare();
            impl.run();
        }
        // Each repetition runs them in a new order drawn from a fixed seed: a turning of one
        // order would always run each after the same other, which leaves it that one's
        // caches (warm for a second run of our own decode, cold after a peer's).
        std::vector<size_t> order(n);
        std::iota(order.begin(), order.end(), size_t{0});
        std::mt19937 shuffle(20261208);
        for (int rep = 0; rep < repetitions; ++rep) {
            std::shuffle(order.begin(), order.end(), shuffle);
            for (const size_t i : order) {
                PairedImpl& impl = c.impls[i];
                if (impl.prepare) impl.prepare();
                const double start = ThreadSeconds();
                impl.run();
                times[i].push_back(ThreadSeconds() - start);
            }
        }
        std::vector<double> medians(n);
        for (size_t i = 0; i < n; ++i)
            medians[i] = Median(times[i]);
        for (size_t i = 0; i < n; ++i) {
            std::printf("%-42s %-14s %9.3f", i == 0 ? c.name.c_str() : "", c.impls[i].name.c_str(),
                        medians[i] * 1e3);
            if (IsOurs(c.impls[i].name)) {
                // The best peer; the copy only when there is no peer.
                size_t best = n, peers = 0;
                for (size_t j = 0; j < n; ++j)
                    peers += !IsOurs(c.impls[j].name) && !IsReference(c.impls[j].name);
                for (size_t j = 0; j < n; ++j)
                    if (!IsOurs(c.impls[j].name) && medians[j] > 0) {
                        std::printf("   %s %.2f", c.impls[j].name.c_str(), medians[i] / medians[j]);
                        if (peers && IsReference(c.impls[j].name)) continue;
                        if (best == n || medians[j] < medians[best]) best = j;
                    }
                if (best != n && c.impls.size() > 2)
                    std::printf("   | best (%s) %.2f", c.impls[best].name.c_str(),
                                medians[i] / medians[best]);
            }
            std::printf("\n");
        }
    }
    std::fflush(stdout);
}

} // namespace moirelle::bench
