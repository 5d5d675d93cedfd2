#include "platform/xml/XmlWriter.h"

#include <gtest/gtest.h>

#include "platform/xml/XmlDom.h"

namespace {

std::string Resave(const std::string& text) {
    return TXMLDocument::Parse(text, u"x")->SaveToXML();
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n";

}  // namespace

TEST(XmlWriterTest, OneElementPerLineWithTabsAndCrLf) {
    EXPECT_EQ(std::string(kDeclaration) +
                  "<Contents>\r\n"
                  "\t<Places>\r\n"
                  "\t\t<place>home</place>\r\n"
                  "\t\t<place/>\r\n"
                  "\t</Places>\r\n"
                  "\t<!-- note -->\r\n"
                  "\t<Dreams/>\r\n"
                  "</Contents>\r\n",
              Resave("<Contents><Places>  <place>home</place><place></place></Places>"
                     "<!-- note --><Dreams>\n</Dreams></Contents>"));
}

TEST(XmlWriterTest, TextIsEscapedAndNeverReformatted) {
    EXPECT_EQ(std::string(kDeclaration) + "<a>&lt;lucid&gt; &amp; &#13;\n\t\"x\"</a>\r\n",
              Resave("<a>&lt;lucid> &amp; &#13;\n\t\"x\"</a>"));
    // Mixed content goes out inline, so no layout whitespace enters the text.
    EXPECT_EQ(std::string(kDeclaration) + "<a>x<b>y</b>z</a>\r\n", Resave("<a>x<b>y</b>z</a>"));
    EXPECT_EQ(std::string(kDeclaration) +
                  "<a xmlns:p=\"u\" k=\"&quot;&#10;&amp;\">\r\n\t<p:b/>\r\n</a>\r\n",
              Resave("<a k='\"&#10;&amp;' xmlns:p='u'><p:b/></a>"));
}

TEST(XmlWriterTest, WhitespaceOnlyTextGoesOutAsCData) {
    EXPECT_EQ(std::string(kDeclaration) + "<a><![CDATA[ \t]]></a>\r\n",
              Resave("<a><![CDATA[ \t]]></a>"));
    EXPECT_EQ(std::string(kDeclaration) + "<a><![CDATA[]]>&#13;<![CDATA[\n]]></a>\r\n",
              Resave("<a>&#13;<![CDATA[\n]]></a>"));
}

TEST(XmlWriterTest, CharactersOutsideWindows1251AreReferences) {
    // U+0098 reads from byte 0x98 but is never written as that byte.
    EXPECT_EQ(std::string(kDeclaration) + "<a>\xc0\xff&#152;&#252;&#128512;\x88</a>\r\n",
              Resave("<a>\xd0\x90\xd1\x8f\xc2\x98\xc3\xbc\xf0\x9f\x98\x80\xe2\x82\xac</a>"));
    auto doc = TXMLDocument::Parse("<a>\xc2\x98\xc3\xbc</a>", u"x");
    doc->SetEncoding(u"UTF-8");
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<a>\xc2\x98\xc3\xbc</a>\r\n",
              doc->SaveToXML());
}

TEST(XmlWriterTest, NamesAndCommentsThatTheEncodingCannotHold) {
    auto doc = TXMLDocument::Parse("<\xe4\xb8\xad/>", u"x");
    try {
        doc->SaveToXML();
        FAIL() << "saved";
    } catch (const XmlError& e) {
        EXPECT_EQ(
            std::string("The element name \"\xe4\xb8\xad\" cannot be written in Windows-1251"),
            e.what());
    }
    EXPECT_EQ(std::string(kDeclaration) + "<!--a?b-->\r\n<a/>\r\n", Resave("<!--a\xe4\xb8\xad"
                                                                           "b--><a/>"));
}
