#include "support/Journals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/TestSupport.h"

namespace testing_support {

TRecord Record(float date, int clock, int place, int position, bool lucid, int clarity,
               const std::string& text) {
    TRecord record;
    record.date = date;
    record.clock = clock;
    record.place = place;
    record.position = position;
    record.lucid = lucid;
    record.clarity = clarity;
    record.text = text;
    return record;
}

void WritePlainJournal(const std::string& dir, const LegacyJournal& journal) {
    WriteDataFile(*OpenFolder(dir), "data", journal.places, journal.positions, journal.records);
}

void WriteEncipheredJournal(const std::string& dir, const LegacyJournal& journal,
                            const std::string& password, CipherScheme scheme) {
    WritePlainJournal(dir, journal);
    ASSERT_TRUE(EncryptFile(platform::JoinPath(dir, "data"), password, scheme));
}

LegacyJournal LargeJournal(int records) {
    LegacyJournal journal;
    journal.places = {"home", "\xe4\xee\xec"};
    journal.positions = {"back"};
    for (int i = 0; i < records; ++i)
        journal.records.push_back(Record(39000.0f + static_cast<float>(i % 3000), i % 5, i % 3, 1,
                                         i % 7 == 0, i % 4,
                                         "A dream, number " + std::to_string(i) +
                                             ", with [OC]a lucid part[/OC] and more text."));
    return journal;
}

std::string Enciphered(const LegacyJournal& journal, const std::string& password) {
    TempDir scratch;
    WriteEncipheredJournal(scratch.path(), journal, password);
    return ReadFile(scratch.File("data"));
}

std::string Decipher(const std::string& path, const std::string& password, CipherScheme scheme) {
    TempDir scratch;
    WriteFile(scratch.File("copy"), ReadFile(path));
    CipherScheme opened = CipherScheme::kCurrent;
    if (!DecryptFile(scratch.File("copy"), password, nullptr, &opened) || opened != scheme)
        return "<wrong>";
    return ReadFile(scratch.File("copy"));
}

std::vector<std::string> ListFolder(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::u8path(dir)))
        names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace testing_support
