#include "core/ExchangeOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <utility>

using core::ExchangeOrder;

namespace {

// The exchange sort written out plainly, n*(n-1)/2 comparisons.
std::vector<int> PlainExchangeOrder(std::vector<double> keys, bool ascending) {
    std::vector<int> order(keys.size());
    for (size_t k = 0; k < keys.size(); ++k)
        order[k] = static_cast<int>(k);
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        for (size_t j = i + 1; j < keys.size(); ++j) {
            const double a = keys[i];
            const double b = keys[j];
            if ((ascending && a > b) || (!ascending && a < b)) {
                std::swap(keys[i], keys[j]);
                std::swap(order[i], order[j]);
            }
        }
    }
    return order;
}

using Order = std::vector<int>;

}  // namespace

TEST(ExchangeOrderTest, SmallListsAndTheTieOrder) {
    EXPECT_EQ(Order{}, ExchangeOrder({}, true));
    EXPECT_EQ(Order{0}, ExchangeOrder({5}, false));
    // (3, 1, 2) ends as (1, 2, 3) ascending and stays (3, 2, 1) descending.
    EXPECT_EQ((Order{1, 2, 0}), ExchangeOrder({3, 1, 2}, true));
    EXPECT_EQ((Order{0, 2, 1}), ExchangeOrder({3, 1, 2}, false));
    // (2, 2, 1) ascending: the two 2s end in reverse order.
    EXPECT_EQ((Order{2, 1, 0}), ExchangeOrder({2, 2, 1}, true));
    // Descending mirror: (1, 1, 2) ends as (2, 1, 1) with the 1s reversed.
    EXPECT_EQ((Order{2, 1, 0}), ExchangeOrder({1, 1, 2}, false));
    // All equal: nothing moves, in either direction.
    EXPECT_EQ((Order{0, 1, 2, 3}), ExchangeOrder({7, 7, 7, 7}, true));
    EXPECT_EQ((Order{0, 1, 2, 3}), ExchangeOrder({7, 7, 7, 7}, false));
    // Already in order: nothing moves.
    EXPECT_EQ((Order{0, 1, 2, 3}), ExchangeOrder({1, 2, 2, 3}, true));
    // Reversed: every pass rotates its whole rest.
    EXPECT_EQ((Order{3, 2, 1, 0}), ExchangeOrder({4, 3, 2, 1}, true));
    EXPECT_EQ((Order{2, 1, 0, 3}), ExchangeOrder({2, 2, 1, 3}, true));
    EXPECT_EQ((Order{3, 2, 1, 0}), ExchangeOrder({3, 2, 2, 1}, true));
}

TEST(ExchangeOrderTest, SignedZerosAreEqualAndInfinitiesOrdered) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ((Order{0, 1}), ExchangeOrder({0.0, -0.0}, true));
    EXPECT_EQ((Order{0, 1}), ExchangeOrder({-0.0, 0.0}, false));
    EXPECT_EQ((Order{2, 1, 0}), ExchangeOrder({inf, 1, -inf}, true));
    EXPECT_EQ((Order{2, 1, 0}), ExchangeOrder({-inf, 1, inf}, false));
}

TEST(ExchangeOrderTest, NaNKeysNeverMoveAndNeverMoveOthers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (bool ascending : {true, false}) {
        std::vector<double> keys = {3, nan, 1, nan, 2, 0};
        EXPECT_EQ(PlainExchangeOrder(keys, ascending), ExchangeOrder(keys, ascending));
        keys = {nan, 2, 1};
        EXPECT_EQ(PlainExchangeOrder(keys, ascending), ExchangeOrder(keys, ascending));
    }
}

TEST(ExchangeOrderTest, MatchesThePlainSortOnThousandsOfRandomKeySets) {
    std::mt19937 random(20240611);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int round = 0; round < 6000; ++round) {
        const int n = static_cast<int>(random() % (round % 50 == 0 ? 300 : 60));
        // Few distinct values, so that ties abound; now and then many.
        const int distinct = 1 + static_cast<int>(random() % (round % 10 == 0 ? 1000 : 6));
        std::vector<double> keys(n);
        for (double& key : keys)
            key = static_cast<double>(random() % distinct) * 0.5 - 1;
        if (round % 7 == 0 && n > 0)
            keys[random() % n] = nan;
        for (bool ascending : {true, false}) {
            ASSERT_EQ(PlainExchangeOrder(keys, ascending), ExchangeOrder(keys, ascending))
                << "round " << round << (ascending ? " ascending" : " descending");
        }
    }
}

TEST(ExchangeOrderTest, MatchesThePlainSortOnLongerNearlySortedLists) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        const int n = 500 + static_cast<int>(random() % 500);
        std::vector<double> keys(n);
        for (int k = 0; k < n; ++k)
            keys[k] = k / 3;
        for (int swaps = 0; swaps < 20; ++swaps)
            std::swap(keys[random() % n], keys[random() % n]);
        if (round % 2)
            std::reverse(keys.begin(), keys.end());
        for (bool ascending : {true, false})
            ASSERT_EQ(PlainExchangeOrder(keys, ascending), ExchangeOrder(keys, ascending)) << round;
    }
}
