#include "platform/CodePage.h"

#include <algorithm>

namespace platform {

const std::vector<int>& SupportedCodePages() {
    static const std::vector<int> pages = {874,  1250, 1251, 1252, 1253,
                                           1254, 1255, 1256, 1257, 1258};
    return pages;
}

bool IsSupportedCodePage(int codePage) {
    const std::vector<int>& pages = SupportedCodePages();
    return std::find(pages.begin(), pages.end(), codePage) != pages.end();
}

}  // namespace platform
