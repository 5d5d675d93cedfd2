#include "platform/text/CodePage.h"

#include <algorithm>
#include <stdexcept>

#include "platform/text/CodePageTables.h"
#include "platform/text/Utf16.h"

namespace platform {
namespace {

const char16_t* UpperHalf(int codePage) {
    for (size_t i = 0; i < kCodePageTableCount; ++i) {
        if (kCodePageTables[i].codePage == codePage)
            return kCodePageTables[i].upperHalf;
    }
    throw std::invalid_argument("code page " + std::to_string(codePage) + " is not supported");
}

}  // namespace

// The pages are the tables there are.
const std::vector<int>& SupportedCodePages() {
    static const std::vector<int> pages = [] {
        std::vector<int> list;
        for (size_t i = 0; i < kCodePageTableCount; ++i)
            list.push_back(kCodePageTables[i].codePage);
        std::sort(list.begin(), list.end());
        return list;
    }();
    return pages;
}

std::string SupportedCodePageList() {
    std::string list;
    for (int page : SupportedCodePages())
        list += (list.empty() ? "" : ", ") + std::to_string(page);
    return list;
}

std::string CodePageName(int codePage) {
    switch (codePage) {
        case 874:
            return "Thai";
        case 1250:
            return "Central European";
        case 1251:
            return "Cyrillic";
        case 1252:
            return "Western European";
        case 1253:
            return "Greek";
        case 1254:
            return "Turkish";
        case 1255:
            return "Hebrew";
        case 1256:
            return "Arabic";
        case 1257:
            return "Baltic";
        case 1258:
            return "Vietnamese";
    }
    return std::string();
}

bool IsSupportedCodePage(int codePage) {
    const std::vector<int>& pages = SupportedCodePages();
    return std::find(pages.begin(), pages.end(), codePage) != pages.end();
}

std::u16string WidenCodePage(std::string_view text, int codePage) {
    const char16_t* upper = UpperHalf(codePage);
    std::u16string wide(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        wide[i] = byte < 0x80 ? byte : upper[byte - 0x80];
    }
    return wide;
}

bool Utf8ToCodePage(std::string_view utf8, int codePage, std::string* narrow) {
    const char16_t* upper = UpperHalf(codePage);
    narrow->clear();
    for (size_t pos = 0; pos < utf8.size();) {
        // Malformed UTF-8 decodes as U+FFFD, which no code page here holds.
        const char32_t code = DecodeUtf8(utf8, &pos);
        if (code < 0x80) {
            narrow->push_back(static_cast<char>(code));
            continue;
        }
        const char16_t* found = std::find(upper, upper + 128, code);
        if (found == upper + 128)
            return false;
        narrow->push_back(static_cast<char>(0x80 + (found - upper)));
    }
    return true;
}

}  // namespace platform
