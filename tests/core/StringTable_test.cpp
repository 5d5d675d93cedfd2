#include "core/StringTable.h"

#include <gtest/gtest.h>

TEST(StringTableTest, HoldsTheDefaultListEntries) {
    const char* const expected[] = {"time", "morning", "day",    "evening",   "night",
                                    "?",    "dream",   "lucid",  "OOBE",      "home",
                                    "?",    "back",    "venter", "left side", "right side"};
    for (int id = 2; id <= 16; ++id)
        EXPECT_EQ(expected[id - 2], LoadStringTableEntry(id)) << id;
}

TEST(StringTableTest, UnknownIdsAreEmptyAndEntriesAreCutToTheBuffer) {
    EXPECT_EQ("", LoadStringTableEntry(1));
    EXPECT_EQ("", LoadStringTableEntry(17));
    EXPECT_EQ("left", LoadStringTableEntry(15, 5));
    EXPECT_EQ("", LoadStringTableEntry(15, 1));
    EXPECT_EQ("", LoadStringTableEntry(15, 0));
    EXPECT_EQ("right side", LoadStringTableEntry(16, 11));
}
