#include "platform/text/Cp1251.h"

#include <gtest/gtest.h>

using platform::NarrowCp1251;
using platform::WidenCp1251;

TEST(Cp1251Test, WidensCyrillicAndTheUndefinedByte) {
    EXPECT_EQ(u"дом", WidenCp1251("\xe4\xee\xec"));
    EXPECT_EQ(u"Ёё№€", WidenCp1251("\xa8\xb8\xb9\x88"));
    EXPECT_EQ(std::u16string(1, char16_t(0x98)), WidenCp1251("\x98"));
    EXPECT_EQ(u"A\r\n", WidenCp1251("A\r\n"));
}

TEST(Cp1251Test, EveryDefinedByteNarrowsBackToItself) {
    for (int byte = 0; byte < 256; ++byte) {
        if (byte == 0x98)
            continue;
        EXPECT_EQ(byte, NarrowCp1251(WidenCp1251(static_cast<unsigned char>(byte)))) << byte;
    }
    EXPECT_EQ(-1, NarrowCp1251(0x98));
    EXPECT_EQ(-1, NarrowCp1251(0x00E9));  // é is not in the table
    EXPECT_EQ(-1, NarrowCp1251(0x1F600));
}
