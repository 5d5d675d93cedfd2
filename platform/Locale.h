#pragma once

namespace platform {

// The decimal separator of the user's number settings: the process's numeric
// locale as the environment sets it here, the user's regional settings on
// Windows. '.' when nothing says otherwise.
char LocaleDecimalSeparator();

}  // namespace platform
