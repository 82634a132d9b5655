// The order in which the start-up benchmark runs its programs (bench/alternation.h): every
// program once a round, every program in every place equally often, two programs alternating.
#include "bench/alternation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(Alternation, EveryProgramOnceARoundAndInEveryPlaceEquallyOften) {
    for (const int count : {1, 2, 3, 5}) {
        const int rounds = 4 * count;
        std::vector<std::vector<int>> inPlace(count, std::vector<int>(count, 0));
        for (int round = 0; round < rounds; ++round) {
            std::vector<int> order = alternation::roundOrder(round, count);
            ASSERT_EQ(int(order.size()), count) << "round " << round;
            for (int place = 0; place < count; ++place) ++inPlace[order[place]][place];
            std::sort(order.begin(), order.end());
            for (int k = 0; k < count; ++k) EXPECT_EQ(order[k], k) << count << " programs, round " << round;
        }
        for (int program = 0; program < count; ++program) {
            for (int place = 0; place < count; ++place)
                EXPECT_EQ(inPlace[program][place], 4)
                    << count << " programs: program " << program << ", place " << place;
        }
    }
}

TEST(Alternation, TwoProgramsAlternateAndNothingIsRunForNoPrograms) {
    const struct {
        int round, count;
        std::vector<int> order;
    } cases[] = {
        {0, 2, {0, 1}}, {1, 2, {1, 0}}, {2, 2, {0, 1}}, {7, 2, {1, 0}}, {0, 0, {}}, {3, -1, {}}, {-1, 2, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(alternation::roundOrder(c.round, c.count), c.order)
            << "round " << c.round << " of " << c.count;
}

}  // namespace
