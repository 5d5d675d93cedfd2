#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Numbers as the journal writes them: the general form with up to 15
// significant digits and the decimal separator of the user's locale (the
// process's numeric locale as the environment sets it). Reading accepts "."
// and "," alike, so a journal written under another locale still reads.

char DecimalSeparator();
// For tests: force the separator (0 returns to the locale's).
void SetDecimalSeparatorForTesting(char separator);

std::string FormatDouble(double value);
std::string FormatInt(int32_t value);

// The whole text must be the number (no blanks around it). Empty text, any
// other character, or a value outside the type's range: false.
bool ParseDouble(std::string_view text, double* value);
// Rounds once, straight to the nearest float, as reading into a float does.
bool ParseFloat(std::string_view text, float* value);
bool ParseInt32(std::string_view text, int32_t* value);

}  // namespace platform
