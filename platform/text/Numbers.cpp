#include "platform/text/Numbers.h"

#include "platform/os/Locale.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

char forcedSeparator = 0;  // the test's stand-in for the locale
char chosenSeparator = 0;  // a conversion's choice

// The text in the "C" locale's form ("." as the separator), or false when it
// holds anything a decimal number cannot.
bool Normalize(std::string_view text, std::string* c) {
    c->assign(text);
    size_t separators = 0;
    for (char& ch : *c) {
        if (ch == ',' || ch == '.') {
            ch = '.';
            ++separators;
        } else if (!(std::isdigit(static_cast<unsigned char>(ch)) || ch == '-' || ch == '+' ||
                     ch == 'e' || ch == 'E')) {
            return false;  // no hex, inf or nan: the journal never writes them
        }
    }
    if (c->empty() || separators > 1)
        return false;
    const unsigned char first = static_cast<unsigned char>((*c)[0]);
    return std::isdigit(first) || first == '-' || first == '+' || first == '.';
}

// strtod in the "C" locale, which this program never changes.
bool ParseCDouble(const std::string& text, double* value) {
    errno = 0;
    char* end = nullptr;
    double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return false;
    if (errno == ERANGE && std::isinf(parsed))
        return false;
    if (!std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

}  // namespace

char DecimalSeparator() {
    if (chosenSeparator != 0)
        return chosenSeparator;
    return forcedSeparator != 0 ? forcedSeparator : LocaleDecimalSeparator();
}

void SetDecimalSeparatorForTesting(char separator) {
    forcedSeparator = separator;
}

ScopedDecimalSeparator::ScopedDecimalSeparator(char separator) : previous_(chosenSeparator) {
    if (separator != 0)
        chosenSeparator = separator;
}

ScopedDecimalSeparator::~ScopedDecimalSeparator() {
    chosenSeparator = previous_;
}

std::string FormatDouble(double value) {
    return FormatDouble(value, DecimalSeparator());
}

std::string FormatDouble(double value, char separator) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text(buffer);
    if (separator != '.') {
        for (char& c : text) {
            if (c == '.')
                c = separator;
        }
    }
    return text;
}

std::string FormatInt(int32_t value) {
    return std::to_string(value);
}

bool ParseDouble(std::string_view text, double* value) {
    std::string c;
    return Normalize(text, &c) && ParseCDouble(c, value);
}

bool ParseFloat(std::string_view text, float* value) {
    std::string c;
    if (!Normalize(text, &c))
        return false;
    errno = 0;
    char* end = nullptr;
    float parsed = std::strtof(c.c_str(), &end);
    if (end != c.c_str() + c.size() || !std::isfinite(parsed))
        return false;
    *value = parsed;
    return true;
}

bool ParseInt32(std::string_view text, int32_t* value) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > int64_t(1) << 31)
            return false;
    }
    const int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX || result < INT32_MIN)
        return false;
    *value = static_cast<int32_t>(result);
    return true;
}

}  // namespace platform
