#pragma once

#include <cstddef>

namespace platform {

// The upper half of one Windows single-byte code page: upperHalf[b - 0x80]
// is the character byte b stands for. The lower half is ASCII in all of them.
struct CodePageTable {
    int codePage;
    char16_t upperHalf[128];
};

// Generated from the platform's own converter (CodePageTables.cpp says how).
extern const CodePageTable kCodePageTables[];
extern const size_t kCodePageTableCount;

}  // namespace platform
