#pragma once

#include <cstdint>
#include <string>

#include "platform/os/Env.h"

// How much memory a conversion needs, told from the data file's size before
// anything in the folder changes: a journal too large for the process (a
// 32-bit program may address 2 or 4 GiB) is refused with a clear message
// instead of failing half-way for want of memory.

// The memory a conversion of a data file of `dataFileSize` bytes needs at its
// peak in a program of `pointerBits` (32 or 64): the journal deciphered, its
// records, the document's tree and its text all live at once.
uint64_t EstimatedConversionMemory(uint64_t dataFileSize, int pointerBits);

// Throws platform::Error (not supported: the program cannot do it here) when
// converting `dataFile` (of `dataFileSize` bytes)
// needs more than the part of `usableAddressSpace` a conversion may take.
// `pointerBits` (32 or 64) says which program this is, for the message.
void CheckJournalFitsInMemory(const std::string& dataFile, uint64_t dataFileSize,
                              uint64_t usableAddressSpace, int pointerBits);

// The same for the journal in `folder` (its data file, or the larger working
// copy an interrupted run left), with this process's address space. Returns
// the memory the conversion is expected to need (0 without a journal).
uint64_t CheckJournalFitsInMemory(platform::Folder& folder);
