#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Reporter.h"

// One scratch folder per fuzzing process, made the current folder, in memory
// where the system offers it.
const std::string& FuzzFolder();
void WriteFuzzFile(const std::string& name, const uint8_t* data, size_t size);

// Says nothing: the warnings malformed input brings are expected by the
// thousand.
class SilentReporter : public platform::Reporter {
  public:
    void Output(std::string_view) override {}
    void Line(std::string_view) override {}
    bool ok() const override { return true; }
};
