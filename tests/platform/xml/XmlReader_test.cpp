#include "platform/xml/XmlReader.h"

#include <gtest/gtest.h>

#include "platform/xml/XmlDom.h"

namespace {

std::string ParseError(const std::string& text) {
    try {
        TXMLDocument::Parse(text, u"/journal/data.xml");
    } catch (const XmlError& e) {
        return e.what();
    }
    return "(parsed)";
}

std::u16string RootText(const std::string& text) {
    return TXMLDocument::Parse(text, u"x")->Get_DocumentElement()->Get_Text();
}

int RootChildCount(const std::string& text) {
    return TXMLDocument::Parse(text, u"x")->Get_DocumentElement()->ChildNodes().Get_Count();
}

}  // namespace

TEST(XmlReaderTest, MalformedDocumentsNameFileLineAndCause) {
    EXPECT_EQ("/journal/data.xml:3: Premature end of data in tag Dreams line 3",
              ParseError("<?xml version=\"1.0\"?>\n<Contents>\n<Dreams>"));
    EXPECT_EQ("/journal/data.xml:2: Extra content at the end of the document",
              ParseError("<Contents/>\n<Contents/>"));
    EXPECT_EQ("/journal/data.xml:1: Entity 'foo' not defined", ParseError("<a>&foo;</a>"));
    EXPECT_EQ("/journal/data.xml:1: Document is empty", ParseError(""));
    EXPECT_EQ("/journal/data.xml:1: PCDATA invalid Char value 1", ParseError("<a>\x01</a>"));
    EXPECT_EQ(
        "/journal/data.xml:1: Input is not proper UTF-8, indicate encoding ! "
        "Bytes: 0xFF 0x3C 0x2F 0x61",
        ParseError("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xff</a>"));
    EXPECT_EQ("/journal/data.xml:1: Unsupported encoding KOI8-X",
              ParseError("<?xml version=\"1.0\" encoding=\"KOI8-X\"?><a/>"));
}

TEST(XmlReaderTest, HostileDocumentsAreRefused) {
    // Entity expansion bombs and external entities never get a chance.
    EXPECT_EQ("/journal/data.xml:1: a document type declaration is not allowed",
              ParseError("<!DOCTYPE a [<!ENTITY x \"xxxxxxxxxx\"><!ENTITY y \"&x;&x;&x;&x;\">]>"
                         "<a>&y;</a>"));
    EXPECT_EQ("/journal/data.xml:2: a document type declaration is not allowed",
              ParseError("<?xml version=\"1.0\"?>\n<!DOCTYPE a SYSTEM \"/etc/passwd\"><a/>"));
    EXPECT_EQ("/journal/data.xml:1: a document type declaration is not allowed",
              ParseError("<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>"));
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_EQ("/journal/data.xml:1: Excessive depth in document: 256 use XML_PARSE_HUGE option",
              ParseError(deep));
}

TEST(XmlReaderTest, LayoutWhitespaceIsDroppedAndTextKept) {
    EXPECT_EQ(0, RootChildCount("<Dreams>\r\n\t</Dreams>"));
    EXPECT_EQ(2, RootChildCount("<a>\n\t<b> </b>\n\t<c/>\n</a>"));
    EXPECT_EQ(u"", TXMLDocument::Parse("<a>\n\t<b> </b>\n</a>", u"x")
                       ->Get_DocumentElement()
                       ->ChildNodes()
                       .Get_Nodes(0)
                       ->Get_Text());
    EXPECT_EQ(u" x ", RootText("<a> x </a>"));
    EXPECT_EQ(u"a\nb", RootText("<a>a\r\nb</a>"));  // end-of-line handling
    EXPECT_EQ(u"a\r\nb", RootText("<a>a&#13;\r\nb</a>"));
    EXPECT_EQ(u"&<>\"'", RootText("<a>&amp;&lt;&gt;&quot;&apos;</a>"));
    EXPECT_EQ(u"\u00e9\U0001F600", RootText("<a>&#233;&#x1F600;</a>"));
}

TEST(XmlReaderTest, CDataJoinsTheTextAndKeepsWhitespace) {
    EXPECT_EQ(u"a<b>c", RootText("<a>a<![CDATA[<b>]]>c</a>"));
    EXPECT_EQ(u" ", RootText("<a><![CDATA[ ]]></a>"));
    EXPECT_EQ(u"\r\n", RootText("<a><![CDATA[]]>&#13;<![CDATA[\n]]></a>"));
    EXPECT_EQ(u"", RootText("<a><![CDATA[]]></a>"));
    EXPECT_EQ(1, RootChildCount("<a>x<![CDATA[y]]>z</a>"));
}

TEST(XmlReaderTest, Windows1251IsReadThroughTheJournalTable) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a>";
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        text.push_back(static_cast<char>(byte));
    text += "</a>";
    const std::u16string read = RootText(text);
    ASSERT_EQ(128u, read.size());
    EXPECT_EQ(u'\u0402', read[0]);     // 0x80
    EXPECT_EQ(u'\u0098', read[0x18]);  // 0x98: undefined in the standard table
    EXPECT_EQ(u'\u0401', read[0x28]);  // 0xA8
    EXPECT_EQ(u'\u0410', read[0x40]);  // 0xC0
    EXPECT_EQ(u'\u044F', read[0x7F]);  // 0xFF
}
