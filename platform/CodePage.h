#pragma once

#include <string>
#include <vector>

namespace platform {

// The Windows single-byte code pages a legacy journal may have been written
// in: 874 and 1250 to 1258.
const std::vector<int>& SupportedCodePages();
bool IsSupportedCodePage(int codePage);

}  // namespace platform
