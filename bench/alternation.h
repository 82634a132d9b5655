// The order in which startup_bench starts its programs in each round.
#pragma once

#include <vector>

namespace alternation {

// The programs 0 to count-1 in the order of round `round` (counted from 0): each round starts
// one program later than the one before, so that over `count` rounds every program runs once in
// every place and none always follows the same one into warm caches. For two programs the rounds
// alternate A B, B A.
inline std::vector<int> roundOrder(int round, int count) {
    std::vector<int> order;
    if (count < 1 || round < 0) return order;
    for (int k = 0; k < count; ++k) order.push_back((round + k) % count);
    return order;
}

}  // namespace alternation
