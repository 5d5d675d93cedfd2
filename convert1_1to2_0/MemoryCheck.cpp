#include "convert1_1to2_0/MemoryCheck.h"

#include <algorithm>

#include "core/JournalFiles.h"
#include "platform/Status.h"
#include "platform/os/Env.h"
#include "platform/os/Memory.h"

namespace {

// Measured on generated journals of 100,000 and 1,000,000 records (25 MB and
// 248 MB data files): the peak resident memory of a conversion grows by 15.4
// bytes per byte of the data file for the Linux build (3.8 GB at 1,000,000
// records) and by 15.9 for the 64-bit Windows build under Wine (3.9 GB).
// Reading the saved document back to prove it adds 1.2 (390 MB became 419 MB
// at 100,000 records on Linux). The 32-bit Windows build, whose pointers are
// half as wide, grows by 12.6 (300 MB at 100,000 records, 925 MB at 300,000,
// under Wine). Each rate is rounded up, to be on the safe side.
constexpr uint64_t BytesPerDataByte(int pointerBits) {
    return pointerBits == 32 ? 14 : 18;
}
// The program, its libraries and a small journal.
constexpr uint64_t kBaseBytes = 64ull << 20;

std::string Megabytes(uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MB";
}

}  // namespace

uint64_t EstimatedConversionMemory(uint64_t dataFileSize, int pointerBits) {
    const uint64_t rate = BytesPerDataByte(pointerBits);
    if (dataFileSize > (UINT64_MAX - kBaseBytes) / rate)
        return UINT64_MAX;
    return kBaseBytes + dataFileSize * rate;
}

void CheckJournalFitsInMemory(const std::string& dataFile, uint64_t dataFileSize,
                              uint64_t usableAddressSpace, int pointerBits) {
    // A quarter of the address space is left to the program's code, its
    // stacks and what the heap loses to fragmentation.
    const uint64_t available = usableAddressSpace / 4 * 3;
    const uint64_t needed = EstimatedConversionMemory(dataFileSize, pointerBits);
    if (needed <= available)
        return;
    std::string message = "the journal is too large for this program: converting \"" + dataFile +
                          "\" (" + Megabytes(dataFileSize) + ") needs about " + Megabytes(needed) +
                          " of memory, ";
    // Both the part it may take and the whole: the estimate may lie between.
    const std::string limit =
        Megabytes(available) + " of the " + Megabytes(usableAddressSpace) + " it can address";
    if (pointerBits == 32) {
        message += "more than the 32-bit program may use (" + limit +
                   "); convert it on a 64-bit Windows with the 64-bit program, the "
                   "convert1_1to2_0.exe of convert1_1to2_0-" JC_VERSION "-win64.zip";
    } else {
        message += "more than this process may use (" + limit + ")";
    }
    throw platform::Error(
        platform::Status::Make(platform::StatusCode::kNotSupported, message, dataFile));
}

uint64_t CheckJournalFitsInMemory(platform::Folder& folder) {
    std::string largest;
    uint64_t largestSize = 0;
    for (const char* name : {journal_files::kDataFile, journal_files::kWorkingCopy}) {
        platform::FileKind kind;
        platform::ThrowIfFailed(folder.GetFileKind(name, &kind));
        if (kind != platform::FileKind::kFile)
            continue;
        uint64_t size = 0;
        platform::ThrowIfFailed(folder.GetFileSize(name, &size));
        if (largest.empty() || size > largestSize) {
            largest = name;
            largestSize = size;
        }
    }
    if (largest.empty())
        return 0;
    const int pointerBits = static_cast<int>(sizeof(void*) * 8);
    CheckJournalFitsInMemory(folder.PathOf(largest), largestSize, platform::UsableAddressSpace(),
                             pointerBits);
    return EstimatedConversionMemory(largestSize, pointerBits);
}
