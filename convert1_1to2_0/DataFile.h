#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One dream record of the legacy journal.
struct TRecord {
    float date = 0;        // day count; the whole part is the day number
    int32_t clock = 0;     // time-of-day index
    int32_t place = 0;     // place number from 1; 0 = none
    int32_t position = 0;  // position number from 1; 0 = none
    bool lucid = false;
    int32_t clarity = 0;
    std::string text;  // Windows-1251; lucid passages marked "[OC]" ... "[/OC]"
};

// The plain legacy data file: the record count, the place list, the position
// list and the records, with 0x01 ending a field, 0x02 an item and 0x03 a
// section marker. Written in text mode (every LF stored as CR LF), through a
// temporary file, so the file is never seen half written. Throws IoError.
void WriteDataFile(const std::string& path, const std::vector<std::string>& places,
                   const std::vector<std::string>& positions, const std::vector<TRecord>& records);
