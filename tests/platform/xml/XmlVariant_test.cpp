#include "platform/xml/XmlVariant.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

#include "platform/text/Numbers.h"

using testing_support::ErrorOf;

namespace {

struct SeparatorGuard {
    explicit SeparatorGuard(char c) { platform::SetDecimalSeparatorForTesting(c); }
    ~SeparatorGuard() { platform::SetDecimalSeparatorForTesting(0); }
};

}  // namespace

TEST(XmlVariantTest, TextForms) {
    SeparatorGuard comma(',');
    EXPECT_EQ(u"", XmlVariant().AsString());
    EXPECT_EQ(u"-2147483648", XmlVariant(INT32_MIN).AsString());
    EXPECT_EQ(u"0,333333333333333", XmlVariant(1.0 / 3).AsString());
    EXPECT_EQ(u"0,1", XmlVariant(0.1).AsString());
    EXPECT_EQ(u"text", XmlVariant(u"text").AsString());
}

TEST(XmlVariantTest, NumbersFromText) {
    EXPECT_EQ(42, XmlVariant(u"42").AsInt());
    EXPECT_EQ(-7, static_cast<int32_t>(XmlVariant(u"-7")));
    EXPECT_EQ(2.5, XmlVariant(u"2,5").AsDouble());
    EXPECT_EQ(2.5, static_cast<double>(XmlVariant(u"2.5")));
    EXPECT_EQ(3.0, XmlVariant(3).AsDouble());
    EXPECT_EQ(2, XmlVariant(2.5).AsInt());  // to nearest, ties to even
    EXPECT_EQ(4, XmlVariant(3.5).AsInt());
}

TEST(XmlVariantTest, ConversionErrorsSayWhatFailed) {
    EXPECT_EQ("Could not convert variant of type (Null) into type (Integer)",
              ErrorOf<XmlError>([] { XmlVariant().AsInt(); }));
    EXPECT_EQ("Could not convert variant of type (Null) into type (Double)",
              ErrorOf<XmlError>([] { XmlVariant().AsDouble(); }));
    EXPECT_EQ("\"\" is not a valid integer value",
              ErrorOf<XmlError>([] { XmlVariant(u"").AsInt(); }));
    EXPECT_EQ("\"12a\" is not a valid integer value",
              ErrorOf<XmlError>([] { XmlVariant(u"12a").AsInt(); }));
    EXPECT_EQ("\"2147483648\" is not a valid integer value",
              ErrorOf<XmlError>([] { XmlVariant(u"2147483648").AsInt(); }));
    EXPECT_EQ("\"\xd0\xb4\xd0\xb2\xd0\xb0\" is not a valid floating point value",
              ErrorOf<XmlError>([] { XmlVariant(u"два").AsDouble(); }));
    EXPECT_EQ("\"1,2,3\" is not a valid floating point value",
              ErrorOf<XmlError>([] { XmlVariant(u"1,2,3").AsDouble(); }));
    SeparatorGuard dot('.');
    EXPECT_EQ("\"30000000000\" is not a valid integer value",
              ErrorOf<XmlError>([] { XmlVariant(3e10).AsInt(); }));
}

TEST(XmlVariantTest, Equality) {
    EXPECT_EQ(XmlVariant(), XmlVariant::Null());
    EXPECT_EQ(XmlVariant(1), XmlVariant(1));
    EXPECT_NE(XmlVariant(1), XmlVariant(1.0));
    EXPECT_NE(XmlVariant(u""), XmlVariant());
}
