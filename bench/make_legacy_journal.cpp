// Writes a generated legacy journal into a folder:
//   make_legacy_journal FOLDER RECORDS [PASSWORD]
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "JournalGenerator.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FOLDER RECORDS [PASSWORD]\n", argv[0]);
        return 2;
    }
    try {
        GenerateLegacyJournal(argv[1], std::strtoul(argv[2], nullptr, 10), argc > 3 ? argv[3] : "");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
