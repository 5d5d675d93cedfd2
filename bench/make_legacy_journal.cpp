// Writes a generated legacy journal into a folder, made when missing:
//   make_legacy_journal FOLDER RECORDS [PASSWORD]
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <system_error>

#include "JournalGenerator.h"

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long records = argc < 3 ? 0 : std::strtoul(argv[2], &end, 10);
    if (argc < 3 || end == argv[2] || *end != '\0') {
        std::fprintf(stderr, "usage: %s FOLDER RECORDS [PASSWORD]\n", argv[0]);
        return 2;
    }
    // Before the work, not after it: a folder that cannot be made is said at once.
    std::error_code error;
    std::filesystem::create_directories(argv[1], error);
    if (error) {
        std::fprintf(stderr, "cannot make the folder \"%s\": %s\n", argv[1],
                     error.message().c_str());
        return 1;
    }
    try {
        GenerateLegacyJournal(argv[1], records, argc > 3 ? argv[3] : "");
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
