#include "core/ExchangeOrder.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace core {
namespace {

// Counts of marked positions before a given one.
class Fenwick {
  public:
    explicit Fenwick(size_t n) : tree_(n + 1, 0) {}
    void Mark(size_t position) {
        for (size_t k = position + 1; k < tree_.size(); k += k & (~k + 1))
            ++tree_[k];
    }
    // Marked positions < position.
    size_t Before(size_t position) const {
        size_t sum = 0;
        for (size_t k = position; k > 0; k -= k & (~k + 1))
            sum += tree_[k];
        return sum;
    }

  private:
    std::vector<size_t> tree_;
};

// The order of one group of equal keys, given for each of its members (in
// position order) how many better keys stand before it.
//
// Why this is the whole story: seen from one key value v, every exchange
// sort step only moves a v-item when the first item at or after position i
// that is not worse than v is a v-item; the run of v-items that starts there
// then sends its first member to where the next better item stood, and that
// better item leaves for position i for good. Worse items never change the
// order of the v-items, and once every better item has been placed, the
// v-items are collected from left to right. So the group is a queue that
// turns by one for every better item, and receives its members in position
// order as the better items before them are used up.
class GroupRing {
  public:
    explicit GroupRing(size_t capacity) : next_(capacity), prev_(capacity) {}

    void Start() {
        head_ = kNone;
        size_ = 0;
    }
    void Turn(size_t times) {
        if (size_ == 0)
            return;
        for (times %= size_; times > 0; --times)
            head_ = next_[head_];
    }
    // Appends at the end of the ring, just before its head.
    void Append(size_t item) {
        if (head_ == kNone) {
            head_ = next_[item] = prev_[item] = item;
        } else {
            const size_t last = prev_[head_];
            next_[last] = item;
            prev_[item] = last;
            next_[item] = head_;
            prev_[head_] = item;
        }
        ++size_;
    }
    template <class Out>
    void Drain(Out out) const {
        size_t item = head_;
        for (size_t k = 0; k < size_; ++k, item = next_[item])
            out(item);
    }

  private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<size_t> next_, prev_;
    size_t head_ = kNone;
    size_t size_ = 0;
};

}  // namespace

std::vector<int> ExchangeOrder(const std::vector<double>& keys, bool ascending) {
    const size_t n = keys.size();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);

    // NaN positions stay put; the other keys are sorted among the other
    // positions exactly as if the NaNs were not there.
    std::vector<int> live;
    std::vector<double> values;  // descending is ascending of the negation
    for (size_t k = 0; k < n; ++k) {
        if (std::isnan(keys[k]))
            continue;
        live.push_back(static_cast<int>(k));
        values.push_back(ascending ? keys[k] : -keys[k]);
    }
    const size_t m = live.size();

    std::vector<size_t> byKey(m);
    std::iota(byKey.begin(), byKey.end(), 0);
    std::stable_sort(byKey.begin(), byKey.end(),
                     [&](size_t a, size_t b) { return values[a] < values[b]; });

    std::vector<size_t> sorted;
    sorted.reserve(m);
    Fenwick better(m);  // the items of the groups done so far
    GroupRing ring(m);
    for (size_t begin = 0; begin < m;) {
        size_t end = begin + 1;
        while (end < m && values[byKey[end]] == values[byKey[begin]])
            ++end;
        if (end - begin == 1) {
            sorted.push_back(byKey[begin]);
        } else {
            ring.Start();
            size_t used = 0;
            for (size_t t = begin; t < end; ++t) {
                const size_t before = better.Before(byKey[t]);
                ring.Turn(before - used);
                used = before;
                ring.Append(byKey[t]);
            }
            ring.Turn(begin - used);  // `begin` items are better in all
            ring.Drain([&](size_t item) { sorted.push_back(item); });
        }
        for (size_t t = begin; t < end; ++t)
            better.Mark(byKey[t]);
        begin = end;
    }

    for (size_t k = 0; k < m; ++k)
        order[static_cast<size_t>(live[k])] = live[sorted[k]];
    return order;
}

}  // namespace core
