#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Numbers as the journal writes them: the general form with up to 15
// significant digits and the decimal separator of the user's locale (the
// process's numeric locale as the environment sets it), unless a run has
// chosen another. Reading accepts "." and "," alike, so a journal written
// under another locale still reads.

// The separator a ScopedDecimalSeparator has chosen, else the locale's.
char DecimalSeparator();
// For tests: stands in for the locale's separator (0 returns to the locale's).
void SetDecimalSeparatorForTesting(char separator);

// While alive, numbers are written with `separator` process-wide (0 leaves
// the current choice as it is). A conversion uses it to write its document
// with the separator the journal's own Windows used, whatever this locale
// says. Scopes nest; each puts back what it found.
class ScopedDecimalSeparator {
  public:
    explicit ScopedDecimalSeparator(char separator);
    ~ScopedDecimalSeparator();
    ScopedDecimalSeparator(const ScopedDecimalSeparator&) = delete;
    ScopedDecimalSeparator& operator=(const ScopedDecimalSeparator&) = delete;

  private:
    char previous_;
};

std::string FormatDouble(double value);  // with DecimalSeparator()
std::string FormatDouble(double value, char separator);
std::string FormatInt(int32_t value);

// The whole text must be the number (no blanks around it). Empty text, any
// other character, or a value outside the type's range: false.
bool ParseDouble(std::string_view text, double* value);
// Rounds once, straight to the nearest float, as reading into a float does.
bool ParseFloat(std::string_view text, float* value);
bool ParseInt32(std::string_view text, int32_t* value);

}  // namespace platform
