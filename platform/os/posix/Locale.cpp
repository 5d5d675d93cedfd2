#include "platform/os/Locale.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>

namespace platform {

char LocaleDecimalSeparator() {
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

int SystemAnsiCodePage() {
    // No system code page here: the journals come from Cyrillic Windows.
    return 1251;
}

}  // namespace platform
