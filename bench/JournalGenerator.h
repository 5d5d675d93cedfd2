#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Reporter.h"

// Writes a legacy journal of `records` dreams with realistic Cyrillic texts
// (line breaks, lucid passages), 20 places and 8 positions, into `dir`/data,
// enciphered with `password` (plain when it is empty). Same seed, same journal.
// The program's own reporter without its console texts ("Done"), which
// would run into the benchmark's table, and with nobody to ask; warnings and
// errors still show.
class QuietReporter : public platform::ConsoleReporter {
  public:
    void Output(std::string_view) override {}
    bool PersonPresent() const override { return false; }
};

void GenerateLegacyJournal(const std::string& dir, size_t records, const std::string& password,
                           unsigned seed = 1);
