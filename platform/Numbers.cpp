#include "platform/Numbers.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

char forcedSeparator = 0;

char LocaleSeparator() {
    static const char separator = [] {
        char result = '.';
        locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
        if (locale != static_cast<locale_t>(0)) {
            const char* radix = nl_langinfo_l(RADIXCHAR, locale);
            if (radix != nullptr && std::strlen(radix) == 1)
                result = radix[0];
            freelocale(locale);
        }
        return result;
    }();
    return separator;
}

// strtod in the "C" locale, which this program never changes.
bool ParseCDouble(const std::string& text, double* value) {
    if (text.empty())
        return false;
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (!(std::isdigit(first) || first == '-' || first == '+' || first == '.'))
        return false;
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
    return forcedSeparator != 0 ? forcedSeparator : LocaleSeparator();
}

void SetDecimalSeparatorForTesting(char separator) {
    forcedSeparator = separator;
}

std::string FormatDouble(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text(buffer);
    const char separator = DecimalSeparator();
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
    std::string c(text);
    size_t separators = 0;
    for (char& ch : c) {
        if (ch == ',' || ch == '.') {
            ch = '.';
            ++separators;
        } else if (!(std::isdigit(static_cast<unsigned char>(ch)) || ch == '-' || ch == '+' ||
                     ch == 'e' || ch == 'E')) {
            return false;  // no hex, inf or nan: the journal never writes them
        }
    }
    if (separators > 1)
        return false;
    return ParseCDouble(c, value);
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
