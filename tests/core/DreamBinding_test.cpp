#include "core/DreamBinding.h"

#include <gtest/gtest.h>

#include "core/DocumentTemplate.h"
#include "platform/text/Numbers.h"
#include "platform/text/PathText.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

using testing_support::ErrorOf;

namespace {

// A journal folder with a new document from the template, opened and bound.
class DreamBindingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = dir_.File("data.xml");
        ASSERT_TRUE(
            WriteDocumentTemplate(*testing_support::OpenFolder(dir_.path()), "data.xml").ok());
        Open();
        ASSERT_TRUE(contents_);
    }

    void Open() {
        doc_ = TXMLDocument::Create(platform::PathToWide(path_));
        contents_ = BindContents(doc_);
    }

    void SaveAndReopen() {
        doc_->SaveToFile(platform::PathToWide(path_));
        contents_.reset();
        doc_.reset();
        Open();
    }

    // Opens a document of the given text instead of the template.
    void OpenText(const std::string& text) {
        WriteFile(path_, text);
        Open();
    }

    std::vector<std::u16string> ChildNames(const IXMLNodePtr& node) {
        std::vector<std::u16string> names;
        IXMLNodeList children = node->ChildNodes();
        for (int i = 0; i < children.Get_Count(); ++i)
            names.push_back(children.Get_Nodes(i)->Get_NodeName());
        return names;
    }

    TempDir dir_;
    std::string path_;
    std::shared_ptr<TXMLDocument> doc_;
    IXMLContentsTypePtr contents_;
};

}  // namespace

TEST_F(DreamBindingTest, DefaultListsReadBack) {
    auto clocks = contents_->Get_Clocks();
    ASSERT_EQ(6, clocks->Get_Count());
    const char16_t* expectedClocks[] = {u"time", u"morning", u"day", u"evening", u"night", u"?"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(expectedClocks[i], clocks->Get_Clock(i));
    auto types = contents_->Get_Types();
    ASSERT_EQ(3, types->Get_Count());
    EXPECT_EQ(u"dream", types->Get_Type(0));
    EXPECT_EQ(u"lucid", types->Get_Type(1));
    EXPECT_EQ(u"OOBE", types->Get_Type(2));
    auto places = contents_->Get_Places();
    ASSERT_EQ(1, places->Get_Count());
    EXPECT_EQ(u"home", places->Get_Place(0));
    auto positions = contents_->Get_Positions();
    ASSERT_EQ(5, positions->Get_Count());
    const char16_t* expectedPositions[] = {u"?", u"back", u"venter", u"left side", u"right side"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(expectedPositions[i], positions->Get_Position(i));
    auto dreams = contents_->Get_Dreams();
    EXPECT_EQ(0, dreams->Get_Count());
    EXPECT_FALSE(dreams->HasChildNodes());  // the template's line break is layout
    // Reading changed nothing.
    EXPECT_EQ(
        (std::vector<std::u16string>{u"Clocks", u"Types", u"Places", u"Positions", u"Dreams"}),
        ChildNames(contents_));
}

TEST_F(DreamBindingTest, BindingFormsAndNarrowing) {
    IXMLDocumentPtr asInterface = doc_;
    EXPECT_EQ(contents_, BindContents(asInterface));
    EXPECT_EQ(contents_, BindContents(*doc_));
    // The same element always has the same object.
    EXPECT_EQ(contents_->Get_Places(), contents_->Get_Places());

    IXMLNodePtr places = contents_->Get_Places();
    EXPECT_TRUE(std::dynamic_pointer_cast<IXMLPlacesType>(places));
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLPositionsType>(places));
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLDreamsType>(places));
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLDreamType>(contents_->Get_Places()->Get_Nodes(0)));
    IXMLNodePtr dream = contents_->Get_Dreams()->Add();
    EXPECT_TRUE(std::dynamic_pointer_cast<IXMLDreamType>(dream));
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLContentsType>(dream));
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLNodeCollection>(dream));
}

TEST_F(DreamBindingTest, BindingWorksAfterTheRootWasReachedUntyped) {
    doc_ = TXMLDocument::Create(platform::PathToWide(path_));
    IXMLNodePtr plain = doc_->Get_DocumentElement();
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLContentsType>(plain));
    IXMLNodePtr plainPlaces = plain->ChildNodes()[u"Places"];
    EXPECT_FALSE(std::dynamic_pointer_cast<IXMLPlacesType>(plainPlaces));
    contents_ = BindContents(doc_);
    ASSERT_TRUE(contents_);
    EXPECT_EQ(1, contents_->Get_Places()->Get_Count());
    EXPECT_EQ(5, plain->ChildNodes().Get_Count());  // the old references still work
    EXPECT_EQ(u"home", plainPlaces->ChildNodes()[0]->Get_Text());
    EXPECT_EQ(contents_, BindContents(doc_));
}

TEST_F(DreamBindingTest, RootWithAnotherNameBindsToNothing) {
    OpenText("<?xml version=\"1.0\"?><Journal><Dreams/></Journal>");
    EXPECT_FALSE(BindContents(doc_));
    ASSERT_TRUE(doc_->Get_DocumentElement());
    EXPECT_EQ(u"Journal", doc_->Get_DocumentElement()->Get_NodeName());
}

TEST_F(DreamBindingTest, ReferencesKeepTheDocumentAlive) {
    IXMLPlacesTypePtr places = contents_->Get_Places();
    contents_.reset();
    doc_.reset();
    EXPECT_EQ(u"home", places->Get_Place(0));
    places->Add(u"garden");
    EXPECT_EQ(2, places->Get_Count());
}

TEST_F(DreamBindingTest, StringListInsertAddDeleteAndIndexErrors) {
    auto places = contents_->Get_Places();
    IXMLNodePtr inserted = places->Insert(0, u"dacha");
    EXPECT_EQ(u"dacha", inserted->Get_Text());
    ASSERT_EQ(2, places->Get_Count());
    EXPECT_EQ(u"dacha", places->Get_Place(0));
    EXPECT_EQ(u"home", places->Get_Place(1));
    places->Add(u"train");
    places->Insert(3, u"sea");  // the count: appends
    places->Insert(-1, u"tent");
    EXPECT_EQ(5, places->Get_Count());
    EXPECT_EQ(u"sea", places->Get_Place(3));
    EXPECT_EQ(u"tent", places->Get_Place(4));

    EXPECT_EQ("List index out of bounds (5)", ErrorOf<XmlError>([&] { places->Get_Place(5); }));
    EXPECT_EQ("List index out of bounds (-1)", ErrorOf<XmlError>([&] { places->Get_Place(-1); }));
    EXPECT_EQ("List index out of bounds (-2)",
              ErrorOf<XmlError>([&] { places->Insert(-2, u"x"); }));
    EXPECT_EQ("List index out of bounds (6)", ErrorOf<XmlError>([&] { places->Insert(6, u"x"); }));
    EXPECT_EQ("List index out of bounds (5)", ErrorOf<XmlError>([&] { places->Delete(5); }));
    EXPECT_EQ("List index out of bounds (0)",
              ErrorOf<XmlError>([&] { contents_->Get_Dreams()->Get_Dream(0); }));
    EXPECT_EQ(5, places->Get_Count());

    // Blanking in place, as the engine does it: delete, then insert empty.
    places->Delete(1);
    places->Insert(1, u"");
    ASSERT_EQ(5, places->Get_Count());
    EXPECT_EQ(u"", places->Get_Place(1));
    EXPECT_EQ(u"train", places->Get_Place(2));

    EXPECT_EQ(2, places->Remove(places->Get_Nodes(2)));
    EXPECT_EQ(-1, places->Remove(contents_->Get_Clocks()->Get_Nodes(0)));
    EXPECT_EQ(-1, places->Remove(nullptr));
    EXPECT_EQ(4, places->Get_Count());

    SaveAndReopen();
    places = contents_->Get_Places();
    ASSERT_EQ(4, places->Get_Count());
    EXPECT_EQ(u"dacha", places->Get_Place(0));
    EXPECT_EQ(u"", places->Get_Place(1));
    EXPECT_EQ(u"sea", places->Get_Place(2));
    EXPECT_EQ(u"tent", places->Get_Place(3));
    places->Clear();
    EXPECT_EQ(0, places->Get_Count());
    EXPECT_FALSE(places->HasChildNodes());
}

TEST_F(DreamBindingTest, OnlyDreamElementsAreDreams) {
    OpenText(
        "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>\r\n<Contents><Dreams>"
        "<Note>not a dream</Note><Dream><clarity>1</clarity></Dream><dream/>"
        "<!-- a comment --><Dream><clarity>2</clarity></Dream></Dreams></Contents>");
    auto dreams = contents_->Get_Dreams();
    ASSERT_EQ(2, dreams->Get_Count());
    EXPECT_EQ(1, dreams->Get_Dream(0)->Get_Clarity());
    EXPECT_EQ(2, dreams->Get_Dream(1)->Get_Clarity());
    // Inserting before item 1 puts the new dream among the items, not among
    // the other children.
    dreams->Insert(1)->Set_Clarity(7);
    EXPECT_EQ(7, dreams->Get_Dream(1)->Get_Clarity());
    EXPECT_EQ(2, dreams->Get_Dream(2)->Get_Clarity());
    dreams->Delete(0);
    EXPECT_EQ(2, dreams->Get_Count());
    EXPECT_EQ(u"not a dream", dreams->ChildNodes().Get_Nodes(u"Note")->Get_Text());
    dreams->Clear();
    EXPECT_EQ(0, dreams->Get_Count());
    EXPECT_EQ(3, dreams->ChildNodes().Get_Count());  // Note, dream and the comment stay
}

TEST_F(DreamBindingTest, FieldsAreCreatedInTheOrderFirstSetAndKeepTheirPlace) {
    auto dream = contents_->Get_Dreams()->Add();
    EXPECT_FALSE(dream->HasChildNodes());
    dream->Set_Text(u"t");
    dream->Set_Dt(1.5);
    dream->Set_Clock(2);
    dream->Set_Text(u"again");
    dream->Set_Subject(u"s");
    EXPECT_EQ((std::vector<std::u16string>{u"text", u"dt", u"clock", u"subject"}),
              ChildNames(dream));
    EXPECT_EQ(u"again", dream->Get_Text());
}

TEST_F(DreamBindingTest, ReadingAMissingFieldCreatesIt) {
    auto dream = contents_->Get_Dreams()->Add();
    dream->Set_Dt(40000);
    EXPECT_EQ("Could not convert variant of type (Null) into type (Integer)",
              ErrorOf<XmlError>([&] { dream->Get_Clarity(); }));
    EXPECT_EQ((std::vector<std::u16string>{u"dt", u"clarity"}), ChildNames(dream));
    EXPECT_EQ(u"", dream->Get_Subject());
    EXPECT_EQ((std::vector<std::u16string>{u"dt", u"clarity", u"subject"}), ChildNames(dream));
    EXPECT_FALSE(dream->ChildNodes().Get_Nodes(2)->HasChildNodes());
    EXPECT_EQ("Could not convert variant of type (Null) into type (Double)",
              ErrorOf<XmlError>([&] { contents_->Get_Dreams()->Add()->Get_Dt(); }));
    // The empty fields survive a save as empty elements.
    SaveAndReopen();
    dream = contents_->Get_Dreams()->Get_Dream(0);
    EXPECT_EQ((std::vector<std::u16string>{u"dt", u"clarity", u"subject"}), ChildNames(dream));
    EXPECT_EQ(40000.0, dream->Get_Dt());
}

TEST_F(DreamBindingTest, NumericFieldsThatAreNoNumbersFail) {
    OpenText(
        "<Contents><Dreams><Dream><clock>abc</clock><type> 1</type><place>1.5</place>"
        "<position>99999999999</position><dt>x</dt><clarity>-3</clarity><duration>+4</duration>"
        "</Dream></Dreams></Contents>");
    auto dream = contents_->Get_Dreams()->Get_Dream(0);
    EXPECT_EQ("\"abc\" is not a valid integer value",
              ErrorOf<XmlError>([&] { dream->Get_Clock(); }));
    EXPECT_EQ("\" 1\" is not a valid integer value", ErrorOf<XmlError>([&] { dream->Get_Type(); }));
    EXPECT_EQ("\"1.5\" is not a valid integer value",
              ErrorOf<XmlError>([&] { dream->Get_Place(); }));
    EXPECT_EQ("\"99999999999\" is not a valid integer value",
              ErrorOf<XmlError>([&] { dream->Get_Position(); }));
    EXPECT_EQ("\"x\" is not a valid floating point value",
              ErrorOf<XmlError>([&] { dream->Get_Dt(); }));
    EXPECT_EQ(-3, dream->Get_Clarity());
    EXPECT_EQ(4, dream->Get_Duration());
}

TEST_F(DreamBindingTest, FieldHoldingElementsIsNoSingleText) {
    OpenText("<Contents><Dreams><Dream><text>a<b/>c</text></Dream></Dreams></Contents>");
    auto dream = contents_->Get_Dreams()->Get_Dream(0);
    EXPECT_EQ("Element does not contain a single text node",
              ErrorOf<XmlError>([&] { dream->Get_Text(); }));
    EXPECT_EQ("Element does not contain a single text node",
              ErrorOf<XmlError>([&] { dream->Set_Text(u"x"); }));
    // Nothing was thrown away by the failed write.
    EXPECT_EQ(3, dream->ChildNodes().Get_Nodes(u"text")->ChildNodes().Get_Count());
}

TEST_F(DreamBindingTest, MissingListIsAppendedAfterTheOthers) {
    OpenText("<Contents><Clocks/><Dreams/></Contents>");
    auto types = contents_->Get_Types();
    EXPECT_EQ(0, types->Get_Count());
    EXPECT_EQ((std::vector<std::u16string>{u"Clocks", u"Dreams", u"Types"}), ChildNames(contents_));
    types->Add(u"nightmare");
    EXPECT_EQ(u"nightmare", contents_->Get_Types()->Get_Type(0));
}

TEST_F(DreamBindingTest, WholeDreamsRoundTripThroughTheFile) {
    platform::SetDecimalSeparatorForTesting(',');
    auto dreams = contents_->Get_Dreams();
    for (int i = 0; i < 3; ++i) {
        auto dream = dreams->Add();
        dream->Set_Dt(39448.30078125 + i);
        dream->Set_Clock(i);
        dream->Set_Subject(u"");
        dream->Set_Type(i + 1);
        dream->Set_Place(0);
        dream->Set_Position(-i);
        dream->Set_Duration(0);
        dream->Set_Clarity(100 + i);
        dream->Set_Text(u"Я летал <lucid>над & морем</lucid>\r\nи проснулся " +
                        std::u16string(1, static_cast<char16_t>(u'0' + i)));
    }
    SaveAndReopen();
    const std::string bytes = ReadFile(path_);
    EXPECT_NE(std::string::npos, bytes.find("<dt>39448,30078125</dt>"));
    EXPECT_NE(std::string::npos, bytes.find("&lt;lucid&gt;"));
    EXPECT_NE(std::string::npos, bytes.find("&#13;\n"));
    EXPECT_NE(std::string::npos, bytes.find("\xdf \xeb\xe5\xf2\xe0\xeb"));  // "Я летал"
    dreams = contents_->Get_Dreams();
    ASSERT_EQ(3, dreams->Get_Count());
    for (int i = 0; i < 3; ++i) {
        auto dream = dreams->Get_Dream(i);
        EXPECT_EQ(39448.30078125 + i, dream->Get_Dt());
        EXPECT_EQ(i, dream->Get_Clock());
        EXPECT_EQ(u"", dream->Get_Subject());
        EXPECT_EQ(i + 1, dream->Get_Type());
        EXPECT_EQ(0, dream->Get_Place());
        EXPECT_EQ(-i, dream->Get_Position());
        EXPECT_EQ(0, dream->Get_Duration());
        EXPECT_EQ(100 + i, dream->Get_Clarity());
        EXPECT_EQ(u"Я летал <lucid>над & морем</lucid>\r\nи проснулся " +
                      std::u16string(1, static_cast<char16_t>(u'0' + i)),
                  dream->Get_Text());
        EXPECT_FALSE(
            dream->ChildNodes().Get_Nodes(u"text")->ChildNodes().Get_Nodes(0)->HasChildNodes());
    }
    // Written under one separator, read under the other.
    platform::SetDecimalSeparatorForTesting('.');
    EXPECT_EQ(39448.30078125, dreams->Get_Dream(0)->Get_Dt());
    platform::SetDecimalSeparatorForTesting(0);
}

TEST_F(DreamBindingTest, StaleReferencesStaySafe) {
    auto dreams = contents_->Get_Dreams();
    auto dream = dreams->Add();
    dream->Set_Clarity(5);
    dreams->Delete(0);
    EXPECT_EQ(0, dreams->Get_Count());
    EXPECT_EQ(5, dream->Get_Clarity());  // detached, still readable
    dream->Set_Text(u"gone");
    EXPECT_FALSE(dream->Get_ParentNode());
    SaveAndReopen();
    EXPECT_EQ(std::string::npos, ReadFile(path_).find("gone"));
}

TEST_F(DreamBindingTest, ItemListFollowsChangesMadeThroughTheNodeInterface) {
    auto places = contents_->Get_Places();
    EXPECT_EQ(1, places->Get_Count());
    places->AddChild(u"place")->Set_Text(u"added");
    EXPECT_EQ(2, places->Get_Count());
    places->AddChild(u"place", 0)->Set_Text(u"first");
    places->AddChild(u"note", 0);
    ASSERT_EQ(3, places->Get_Count());
    EXPECT_EQ(u"first", places->Get_Place(0));
    EXPECT_EQ(u"home", places->Get_Place(1));
    EXPECT_EQ(u"added", places->Get_Place(2));
}
