#pragma once

#include <cstddef>
#include <string>

// Writes a legacy journal of `records` dreams with realistic Cyrillic texts
// (line breaks, lucid passages), 20 places and 8 positions, into `dir`/data,
// enciphered with `password` (plain when it is empty). Same seed, same journal.
void GenerateLegacyJournal(const std::string& dir, size_t records, const std::string& password,
                           unsigned seed = 1);
