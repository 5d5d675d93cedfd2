#include "convert1_1to2_0/LucidMarkers.h"

#include <gtest/gtest.h>

TEST(LucidMarkersTest, EveryExactMarkerIsConvertedUnpaired) {
    EXPECT_EQ("a<lucid>b</lucid>c", ConvertLucidMarkers("a[OC]b[/OC]c"));
    EXPECT_EQ("</lucid>x<lucid>", ConvertLucidMarkers("[/OC]x[OC]"));
    EXPECT_EQ("<lucid><lucid>", ConvertLucidMarkers("[OC][OC]"));
    EXPECT_EQ("[<lucid>]", ConvertLucidMarkers("[[OC]]"));
    EXPECT_EQ("[oc][/Oc][OC", ConvertLucidMarkers("[oc][/Oc][OC"));
    EXPECT_EQ("", ConvertLucidMarkers(""));
    EXPECT_EQ("\xe4\xee\xec<lucid>", ConvertLucidMarkers("\xe4\xee\xec[OC]"));
}
