#pragma once

#include <string>
#include <vector>

#include "convert1_1to2_0/DataFile.h"
#include "convert1_1to2_0/FileUtils.h"

namespace testing_support {

// A legacy journal to put in a test folder.
struct LegacyJournal {
    std::vector<std::string> places;
    std::vector<std::string> positions;
    std::vector<TRecord> records;
};

TRecord Record(float date, int clock, int place, int position, bool lucid, int clarity,
               const std::string& text);

// Writes "data" in `dir`: plain, or enciphered with `password` under `scheme`.
void WritePlainJournal(const std::string& dir, const LegacyJournal& journal);
void WriteEncipheredJournal(const std::string& dir, const LegacyJournal& journal,
                            const std::string& password,
                            CipherScheme scheme = CipherScheme::kCurrent);

// A journal large enough that a run takes a good part of a second (on
// Linux; several under Wine): `records` dreams, lucid passages among them.
LegacyJournal LargeJournal(int records);

// The bytes of the data file `journal` makes, enciphered with `password`.
std::string Enciphered(const LegacyJournal& journal, const std::string& password);

// The plain text of an enciphered file (which stays as it is), or "<wrong>"
// when `password` does not open it under `scheme` alone.
std::string Decipher(const std::string& path, const std::string& password,
                     CipherScheme scheme = CipherScheme::kCurrent);

// Every entry of the folder, sorted.
std::vector<std::string> ListFolder(const std::string& dir);

}  // namespace testing_support
