#include "JournalGenerator.h"

#include <random>
#include <stdexcept>

#include "convert1_1to2_0/DataFile.h"
#include "convert1_1to2_0/FileUtils.h"
#include "platform/os/Env.h"

namespace {

// Words in Windows-1251, as the journal stores them.
const char* const kWords[] = {
    "\xf1\xee\xed",                          // сон
    "\xeb\xe5\xf2\xe0\xeb",                  // летал
    "\xed\xe0\xe4",                          // над
    "\xe3\xee\xf0\xee\xe4\xee\xec",          // городом
    "\xec\xee\xf0\xe5",                      // море
    "\xe4\xee\xec",                          // дом
    "\xe8",                                  // и
    "\xef\xee\xf2\xee\xec",                  // потом
    "\xef\xf0\xee\xf1\xed\xf3\xeb\xf1\xff",  // проснулся
    "\xe4\xf0\xf3\xe3",                      // друг
    "\xf1\xe2\xe5\xf2",                      // свет
    "\xeb\xe5\xf1",                          // лес
    "dream",
    "lucid",
    "flying",
};

std::string Sentence(std::mt19937& random) {
    std::uniform_int_distribution<size_t> word(0, sizeof kWords / sizeof kWords[0] - 1);
    std::uniform_int_distribution<int> length(4, 14);
    std::string text;
    for (int i = length(random); i > 0; --i) {
        if (!text.empty())
            text += ' ';
        text += kWords[word(random)];
    }
    return text + '.';
}

}  // namespace

void GenerateLegacyJournal(const std::string& dir, size_t records, const std::string& password,
                           unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::string> places, positions;
    for (int i = 1; i <= 20; ++i)
        places.push_back("\xec\xe5\xf1\xf2\xee " + std::to_string(i));
    for (int i = 1; i <= 8; ++i)
        positions.push_back("\xef\xee\xe7\xe0 " + std::to_string(i));
    std::vector<TRecord> journal(records);
    std::uniform_int_distribution<int> sentences(1, 8), small(0, 5), place(0, 20), position(0, 8);
    float day = 36000;
    for (TRecord& record : journal) {
        day += static_cast<float>(small(random)) * 0.25f;
        record.date = day;
        record.clock = small(random);
        record.place = place(random);
        record.position = position(random);
        record.lucid = small(random) == 0;
        record.clarity = small(random);
        for (int s = sentences(random); s > 0; --s) {
            if (!record.text.empty())
                record.text += s % 3 == 0 ? "\r\n" : " ";
            if (record.lucid && s == 1)
                record.text += "[OC]" + Sentence(random) + "[/OC]";
            else
                record.text += Sentence(random);
        }
    }
    const std::string path = platform::JoinPath(dir, "data");
    std::unique_ptr<platform::Folder> folder;
    platform::ThrowIfFailed(platform::Env::Real().OpenFolder(dir, &folder));
    WriteDataFile(*folder, "data", places, positions, journal);
    if (!password.empty() && !EncryptFile(path, password))
        throw std::runtime_error("cannot encipher " + path);
}
