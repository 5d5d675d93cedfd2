#pragma once

#include <vector>

namespace core {

// The order in which the journal's exchange sort leaves a list: for each
// position i from the first, every later position j whose key beats the key
// now at i (strictly smaller when ascending, strictly greater otherwise) is
// exchanged with i. Equal keys are never exchanged, yet the method is not
// stable, and that exact order is what users have always seen.
//
// Returns the permutation: entry k is the original position of the item that
// ends at position k. Reads each key once and makes none of the exchanges
// (there are about n*n/4 of them for keys in random order): O(n log n) plus,
// within each group of equal keys, at most its size squared steps. A NaN key
// never beats nor is beaten, so it never moves.
std::vector<int> ExchangeOrder(const std::vector<double>& keys, bool ascending);

}  // namespace core
