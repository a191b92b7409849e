// Every test of this program runs once per instruction-set level the processor has
// (portable, SSE2, AVX2): the program repeats its tests and sets the next level before
// each repetition, so each exactness test holds on every level.
#include "dib/VectorLevel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace moirelle {
namespace {

class LevelPerRepetition final : public testing::EmptyTestEventListener {
  public:
    // Runs before the repetitions are counted (a flag set earlier would be overwritten
    // by the flag's own initialisation).
    void OnTestProgramStart(const testing::UnitTest&) override {
        if (testing::GTEST_FLAG(repeat) == 1)
            testing::GTEST_FLAG(repeat) = static_cast<int>(AvailableVectorLevels().size());
    }
    void OnTestIterationStart(const testing::UnitTest&, int iteration) override {
        const std::vector<VectorLevel> levels = AvailableVectorLevels();
        const VectorLevel level = levels[static_cast<size_t>(iteration) % levels.size()];
        UseVectorLevel(level);
        std::printf("[ vector level %s ]\n", VectorLevelName(level));
        std::fflush(stdout);
    }
};

const bool registered = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new LevelPerRepetition);
    return true;
}();

} // namespace
} // namespace moirelle
