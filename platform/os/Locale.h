#pragma once

namespace platform {

// The decimal separator of the user's number settings: the process's numeric
// locale as the environment sets it here, the user's regional settings on
// Windows. '.' when nothing says otherwise.
char LocaleDecimalSeparator();

// The code page 8-bit texts of the system are in: the system's ANSI code page
// on Windows (GetACP), Windows-1251 elsewhere.
int SystemAnsiCodePage();

}  // namespace platform
