#pragma once

#include <cstddef>
#include <string>

// The program's numbered texts (ids 2 to 16: the default list entries of a
// new journal document), as 8-bit text.
constexpr size_t kStringBufferSize = 64;

// The text with that id, cut to fit a buffer of `bufferSize` characters with
// its terminator (at most 63 characters by default). An unknown id gives the
// empty text.
std::string LoadStringTableEntry(int id, size_t bufferSize = kStringBufferSize);
