#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Reporter.h"
#include "platform/os/Env.h"

// One dream record of the legacy journal.
struct TRecord {
    float date = 0;        // day count; the whole part is the day number
    int32_t clock = 0;     // time-of-day index
    int32_t place = 0;     // place number from 1; 0 = none
    int32_t position = 0;  // position number from 1; 0 = none
    bool lucid = false;
    int32_t clarity = 0;
    std::string text;  // in the journal's code page; lucid passages marked "[OC]" ... "[/OC]"
};

// The plain legacy data file: the record count, the place list, the position
// list and the records, with 0x01 ending a field, 0x02 an item and 0x03 a
// section marker.

// True when `head` (the first bytes of a file) is the start of a plain data
// file: it starts with at least one decimal digit and holds "PLACE" within
// its first 15 bytes, read as text.
bool LooksLikePlainJournal(const std::string& head);

// Reads a plain data file. Every record found is read, whatever count the
// file states; each number comes from its own field, and one that cannot be
// read becomes 0 with a warning to `reporter`. A count that is not a number
// throws platform::Error of the kind kCorrupt; a file that cannot be read,
// platform::Error of its own kind.
//
// Dates are read with either decimal separator. `decimalSeparator` (when
// given) receives the one the file's Windows wrote them with: the separator
// of the first readable date that has one, or 0 when none has (whole numbers
// only, or no records). A file that mixes both is taken as written with the
// first: each date reads the same, and an edited journal ends up with one.
void ReadDataFile(platform::Folder& folder, const std::string& name, platform::Reporter& reporter,
                  int32_t* statedCount, std::vector<std::string>* places,
                  std::vector<std::string>* positions, std::vector<TRecord>* records,
                  char* decimalSeparator = nullptr);
// The same for the plain file's bytes, read already; `path` names the file in
// messages.
void ParseDataFile(std::string_view bytes, const std::string& path, platform::Reporter& reporter,
                   int32_t* statedCount, std::vector<std::string>* places,
                   std::vector<std::string>* positions, std::vector<TRecord>* records,
                   char* decimalSeparator = nullptr);

// Writes a plain data file in text mode (every line break, given as LF or as
// CR LF, stored as CR LF), through a temporary file, so the file is never
// seen half written. Dates are written
// with `decimalSeparator`, or the user's (platform::DecimalSeparator()) when
// it is 0. Throws platform::Error.
void WriteDataFile(platform::Folder& folder, const std::string& name,
                   const std::vector<std::string>& places,
                   const std::vector<std::string>& positions, const std::vector<TRecord>& records,
                   char decimalSeparator = 0);
