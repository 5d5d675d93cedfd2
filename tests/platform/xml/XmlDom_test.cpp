#include "platform/xml/XmlDom.h"

#include <gtest/gtest.h>

#include "platform/os/Env.h"
#include "platform/text/PathText.h"
#include "support/FaultInjectionEnv.h"
#include "support/Journals.h"
#include "support/SystemFacts.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ErrorOf;

namespace {

std::shared_ptr<TXMLDocument> Doc(const std::string& text) {
    return TXMLDocument::Parse(text, u"x");
}

}  // namespace

TEST(XmlDomTest, LoadingReportsTheFileAndTheReason) {
    TempDir dir;
    const std::string missing = dir.File("data.xml");
    EXPECT_EQ("cannot open \"" + missing + "\": " + testing_support::NoSuchFileText(),
              ErrorOf<XmlError>([&] { TXMLDocument::Create(platform::PathToWide(missing)); }));
    WriteFile(missing, "<a>");
    EXPECT_EQ(missing + ":1: Premature end of data in tag a line 1",
              ErrorOf<XmlError>([&] { TXMLDocument::Create(platform::PathToWide(missing)); }));

    // A read that fails is an error, never an empty document.
    WriteFile(missing, "<a/>");
    platform::FaultInjectionEnv env(platform::Env::Real());
    platform::ScopedEnv scoped(env);
    env.FailAt(3);  // after opening the folder and the file
    EXPECT_EQ("injected fault: cannot read \"" + missing + "\"",
              ErrorOf<XmlError>([&] { TXMLDocument::Create(platform::PathToWide(missing)); }));
}

TEST(XmlDomTest, FoldersWithOddNamesWork) {
    TempDir dir;
    const std::string folder = dir.File("\xd0\xa1\xd0\xbd\xd1\x8b \xf0\x9f\x8c\x99");  // "Сны 🌙"
    testing_support::MakeFolder(folder);
    const std::string path = platform::JoinPath(folder, "data.xml");
    WriteFile(path, "<a>x</a>");
    auto doc = TXMLDocument::Create(platform::PathToWide(path));
    doc->Get_DocumentElement()->Set_Text(u"y");
    doc->SaveToFile(platform::PathToWide(path));
    EXPECT_NE(std::string::npos, ReadFile(path).find("<a>y</a>"));
}

TEST(XmlDomTest, SaveReplacesTheFileAtomicallyAndReportsFailure) {
    TempDir dir;
    const std::string path = dir.File("data.xml");
    WriteFile(path, "<a>old</a>");
    auto doc = TXMLDocument::Create(platform::PathToWide(path));
    doc->Get_DocumentElement()->Set_Text(u"new");
    {
        platform::FaultInjectionEnv env(platform::Env::Real());
        platform::ScopedEnv scoped(env);
        env.FailAt(3);  // after opening the folder and creating the temporary file: its write
        const std::string error =
            ErrorOf<XmlError>([&] { doc->SaveToFile(platform::PathToWide(path)); });
        EXPECT_EQ(0u, error.find("injected fault: cannot write \"" + path + ".")) << error;
    }
    EXPECT_EQ("<a>old</a>", ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"data.xml"}, testing_support::ListFolder(dir.path()));
    const std::string elsewhere = dir.File("missing/data.xml");
    EXPECT_EQ(
        "cannot open folder \"" + dir.File("missing") + "\": " + testing_support::NoSuchFileText(),
        ErrorOf<XmlError>([&] { doc->SaveToFile(platform::PathToWide(elsewhere)); }));
    doc->SaveToFile(platform::PathToWide(path));
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<a>new</a>\r\n",
              ReadFile(path));
}

TEST(XmlDomTest, EncodingIsWindows1251UnlessSetOtherwise) {
    EXPECT_EQ(u"Windows-1251", Doc("<a/>")->Get_Encoding());
    EXPECT_EQ(u"UTF-8", Doc("<?xml version=\"1.0\" encoding=\"utf-8\"?><a/>")->Get_Encoding());
    auto doc = Doc("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xd0\xaf</a>");
    doc->SetEncoding(u"Windows-1251");
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<a>\xdf</a>\r\n",
              doc->SaveToXML());
    EXPECT_EQ("Unsupported encoding \"KOI8-R\"",
              ErrorOf<XmlError>([&] { doc->SetEncoding(u"KOI8-R"); }));
    EXPECT_EQ(u"Windows-1251", doc->Get_Encoding());
}

TEST(XmlDomTest, TextRules) {
    auto doc = Doc("<a><b>x</b><c/><d>1<e/></d><!--n--></a>");
    IXMLNodeList children = doc->Get_DocumentElement()->ChildNodes();
    ASSERT_EQ(4, children.Get_Count());
    EXPECT_TRUE(children[u"b"]->Get_IsTextElement());
    EXPECT_EQ(u"x", children[u"b"]->Get_Text());
    EXPECT_EQ(XmlVariant(u"x"), children[u"b"]->Get_NodeValue());
    EXPECT_EQ(u"", children[u"c"]->Get_Text());
    EXPECT_TRUE(children[u"c"]->Get_NodeValue().IsNull());
    EXPECT_EQ("Element does not contain a single text node",
              ErrorOf<XmlError>([&] { children[u"d"]->Get_Text(); }));
    EXPECT_EQ("Element does not contain a single text node",
              ErrorOf<XmlError>([&] { children[u"d"]->Set_NodeValue(XmlVariant(1)); }));
    EXPECT_EQ("Element does not contain a single text node",
              ErrorOf<XmlError>([&] { doc->Get_DocumentElement()->Set_Text(u"lost"); }));
    EXPECT_EQ(4, children.Get_Count());
    EXPECT_EQ(u"#comment", children[3]->Get_NodeName());
    EXPECT_EQ(TXMLNodeType::kComment, children[3]->Get_NodeType());
    EXPECT_EQ(u"#text", children[u"b"]->ChildNodes()[0]->Get_NodeName());

    IXMLNodePtr c = children[u"c"];
    c->Set_NodeValue(XmlVariant(-12));
    EXPECT_EQ(u"-12", c->Get_Text());
    c->Set_NodeValue(XmlVariant(0.5));
    EXPECT_EQ(0.5, c->Get_NodeValue().AsDouble());
    c->Set_Text(u"a & b &amp; &#1; <c>");  // taken as it stands, never parsed
    EXPECT_EQ(u"a & b &amp; &#1; <c>", c->Get_Text());
    c->Set_Text(u"");
    EXPECT_FALSE(c->HasChildNodes());
    c->Set_NodeValue(XmlVariant());
    EXPECT_FALSE(c->HasChildNodes());
}

TEST(XmlDomTest, CharactersXmlCannotHoldAreReplacedNotDropped) {
    auto doc = Doc("<a/>");
    IXMLNodePtr a = doc->Get_DocumentElement();
    std::u16string text = u"x";
    text.push_back(0);
    text += u"\x01\x1f\t\n\r";
    text.push_back(0xD800);  // lone surrogate
    text += u"y\uFFFF\U0001F600";
    a->Set_Text(text);
    const std::u16string expected = u"x\u2400\u2401\u241f\t\n\r\uFFFDy\uFFFD\U0001F600";
    EXPECT_EQ(expected, a->Get_Text());
    EXPECT_EQ(expected, Doc(doc->SaveToXML())->Get_DocumentElement()->Get_Text());
}

TEST(XmlDomTest, TextsSurviveSaveAndReloadCharacterForCharacter) {
    const std::u16string texts[] = {u" ",
                                    u"\t",
                                    u"\r\n",
                                    u"\r",
                                    u"\n \n",
                                    u"  padded  ",
                                    u"\u0098\u00fc\u20ac\u0401",
                                    u"<lucid>\u044f</lucid>\r\n&amp;",
                                    u"]]>",
                                    u"\U0001F600"};
    for (const std::u16string& text : texts) {
        auto doc = Doc("<a><b/></a>");
        doc->Get_DocumentElement()->ChildNodes()[u"b"]->Set_Text(text);
        auto again = Doc(doc->SaveToXML());
        EXPECT_EQ(text, again->Get_DocumentElement()->ChildNodes()[u"b"]->Get_Text());
        EXPECT_EQ(doc->SaveToXML(), again->SaveToXML());
    }
}

TEST(XmlDomTest, ChildLookupCreatesOrFailsByOption) {
    auto doc = Doc("<a><b/></a>");
    IXMLNodePtr a = doc->Get_DocumentElement();
    EXPECT_EQ(doNodeAutoCreate | doAttrNull | doAutoPrefix | doNamespaceDecl, doc->Get_Options());
    EXPECT_FALSE(a->ChildNodes().FindNode(u"c"));
    IXMLNodePtr c = a->ChildNodes()[u"c"];
    EXPECT_EQ(1, a->ChildNodes().IndexOf(c));
    EXPECT_EQ(a, c->Get_ParentNode());
    EXPECT_EQ(doc, std::static_pointer_cast<TXMLDocument>(c->Get_OwnerDocument()));
    doc->Set_Options(0);
    EXPECT_EQ("Node \"d\" not found", ErrorOf<XmlError>([&] { a->ChildNodes()[u"d"]; }));
    EXPECT_EQ(2, a->ChildNodes().Get_Count());
    EXPECT_EQ("List index out of bounds (2)", ErrorOf<XmlError>([&] { a->ChildNodes()[2]; }));
    EXPECT_EQ("List index out of bounds (3)", ErrorOf<XmlError>([&] { a->AddChild(u"x", 3); }));
    EXPECT_EQ("Invalid element name \"1x\"", ErrorOf<XmlError>([&] { a->AddChild(u"1x"); }));
    EXPECT_EQ("Invalid element name \"\"", ErrorOf<XmlError>([&] { a->AddChild(u""); }));
    a->AddChild(u"first", 0);
    a->AddChild(u"last", 3);
    EXPECT_EQ(u"first", a->ChildNodes()[0]->Get_NodeName());
    EXPECT_EQ(u"last", a->ChildNodes()[3]->Get_NodeName());
}

TEST(XmlDomTest, DocumentBindingMakesTheRootWhenMissing) {
    auto doc = Doc("<Other/>");
    EXPECT_EQ(u"Other", doc->GetDocBinding(u"Root", &NodeClassOf<TXMLNode>, u"")->Get_NodeName());
}
