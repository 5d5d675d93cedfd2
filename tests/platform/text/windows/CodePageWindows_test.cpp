// The code page tables against the running Windows' own conversion.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/text/CodePage.h"

TEST(CodePageWindowsTest, EveryByteWidensAsMultiByteToWideCharWidensIt) {
    for (int page : platform::SupportedCodePages()) {
        ASSERT_TRUE(IsValidCodePage(static_cast<UINT>(page))) << page;
        for (int byte = 0; byte < 256; ++byte) {
            const char narrow = static_cast<char>(byte);
            wchar_t wide[4] = {};
            ASSERT_EQ(1, MultiByteToWideChar(static_cast<UINT>(page), 0, &narrow, 1, wide, 4))
                << page << " " << byte;
            const std::u16string ours = platform::WidenCodePage(std::string(1, narrow), page);
            if (ours != std::u16string(1, static_cast<char16_t>(wide[0]))) {
                ADD_FAILURE() << "code page " << page << ", byte 0x" << std::hex << byte
                              << ": Windows gives U+" << static_cast<unsigned>(wide[0])
                              << ", the table U+" << static_cast<unsigned>(ours[0]);
            }
        }
    }
}
