#include <windows.h>

#include "platform/os/Locale.h"

namespace platform {

char LocaleDecimalSeparator() {
    // The user's regional settings, read once: a run writes every number alike.
    static const char separator = [] {
        wchar_t text[LOCALE_NAME_MAX_LENGTH] = {};
        const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text,
                                      LOCALE_NAME_MAX_LENGTH);
        // One character, the terminating zero counted; the journal's numbers
        // can only carry a single ASCII separator.
        if (n == 2 && text[0] > L' ' && text[0] < 0x7F)
            return static_cast<char>(text[0]);
        return '.';
    }();
    return separator;
}

int SystemAnsiCodePage() {
    return static_cast<int>(GetACP());
}

}  // namespace platform
