#include "core/ExchangeOrder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace core {
namespace {

// Minima over positions, to find the first position after a given one whose
// value is strictly below a bound without looking at every position between.
class MinTree {
  public:
    explicit MinTree(const std::vector<double>& values) {
        size_ = 1;
        while (size_ < values.size())
            size_ *= 2;
        tree_.assign(2 * size_, kNever);
        for (size_t k = 0; k < values.size(); ++k)
            tree_[size_ + k] = values[k];
        for (size_t node = size_ - 1; node >= 1; --node)
            tree_[node] = std::min(tree_[2 * node], tree_[2 * node + 1]);
    }

    void Set(size_t position, double value) {
        size_t node = size_ + position;
        tree_[node] = value;
        for (node /= 2; node >= 1; node /= 2)
            tree_[node] = std::min(tree_[2 * node], tree_[2 * node + 1]);
    }

    // The first position >= from whose value is < bound, or -1.
    long FirstBelow(size_t from, double bound) const { return Find(1, 0, size_, from, bound); }

  private:
    long Find(size_t node, size_t begin, size_t end, size_t from, double bound) const {
        if (end <= from || !(tree_[node] < bound))
            return -1;
        if (end - begin == 1)
            return static_cast<long>(begin);
        const size_t middle = begin + (end - begin) / 2;
        long found = Find(2 * node, begin, middle, from, bound);
        if (found >= 0)
            return found;
        return Find(2 * node + 1, middle, end, from, bound);
    }

    // Padding and NaN keys: no bound is ever beaten by it.
    static constexpr double kNever = std::numeric_limits<double>::infinity();

    size_t size_;
    std::vector<double> tree_;
};

}  // namespace

std::vector<int> ExchangeOrder(const std::vector<double>& keys, bool ascending) {
    const size_t n = keys.size();
    std::vector<int> order(n);
    // Descending order is ascending order of the negated keys; the strict
    // comparisons carry over unchanged.
    std::vector<double> values(n);
    std::vector<bool> isNaN(n);
    for (size_t k = 0; k < n; ++k) {
        order[k] = static_cast<int>(k);
        isNaN[k] = std::isnan(keys[k]);
        values[k] =
            isNaN[k] ? std::numeric_limits<double>::infinity() : (ascending ? keys[k] : -keys[k]);
    }
    MinTree tree(values);
    for (size_t i = 0; i + 1 < n; ++i) {
        // NaN never moves, so a NaN found at i was there from the start.
        if (isNaN[order[i]])
            continue;
        // Each exchange puts a strictly better key at i, so the scan goes on
        // from the position just exchanged with the new key as its bound.
        long j = static_cast<long>(i);
        for (;;) {
            j = tree.FirstBelow(static_cast<size_t>(j) + 1, values[i]);
            if (j < 0)
                break;
            std::swap(values[i], values[j]);
            std::swap(order[i], order[j]);
            tree.Set(static_cast<size_t>(j), values[j]);
        }
    }
    return order;
}

}  // namespace core
