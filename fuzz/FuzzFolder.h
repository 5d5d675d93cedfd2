#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One scratch folder per fuzzing process, made the current folder, in memory
// where the system offers it.
const std::string& FuzzFolder();
void WriteFuzzFile(const std::string& name, const uint8_t* data, size_t size);
