#include "core/DreamBinding.h"

IXMLContentsTypePtr BindContents(const IXMLDocumentPtr& doc) {
    IXMLNodePtr root = doc->GetDocBinding(u"Contents", &NodeClassOf<TXMLContentsType>, u"");
    return std::dynamic_pointer_cast<IXMLContentsType>(root);
}

IXMLContentsTypePtr BindContents(const std::shared_ptr<TXMLDocument>& doc) {
    return BindContents(std::static_pointer_cast<IXMLDocument>(doc));
}

IXMLContentsTypePtr BindContents(TXMLDocument& doc) {
    return BindContents(std::static_pointer_cast<IXMLDocument>(doc.shared_from_this()));
}

// ---- Contents -------------------------------------------------------------

void TXMLContentsType::AfterConstruction() {
    RegisterChildNode(u"Clocks", &NodeClassOf<TXMLClocksType>);
    RegisterChildNode(u"Types", &NodeClassOf<TXMLTypesType>);
    RegisterChildNode(u"Places", &NodeClassOf<TXMLPlacesType>);
    RegisterChildNode(u"Positions", &NodeClassOf<TXMLPositionsType>);
    RegisterChildNode(u"Dreams", &NodeClassOf<TXMLDreamsType>);
    TXMLNode::AfterConstruction();
}

IXMLClocksTypePtr TXMLContentsType::Get_Clocks() {
    return ShareAs<IXMLClocksType>(WrapChild(ChildElement("Clocks")));
}

IXMLTypesTypePtr TXMLContentsType::Get_Types() {
    return ShareAs<IXMLTypesType>(WrapChild(ChildElement("Types")));
}

IXMLPlacesTypePtr TXMLContentsType::Get_Places() {
    return ShareAs<IXMLPlacesType>(WrapChild(ChildElement("Places")));
}

IXMLPositionsTypePtr TXMLContentsType::Get_Positions() {
    return ShareAs<IXMLPositionsType>(WrapChild(ChildElement("Positions")));
}

IXMLDreamsTypePtr TXMLContentsType::Get_Dreams() {
    return ShareAs<IXMLDreamsType>(WrapChild(ChildElement("Dreams")));
}

// ---- String lists ---------------------------------------------------------

// The four string lists differ only in their item tag and getter name.
#define JC_STRING_LIST(Class, Tag, Getter)                             \
    void Class::AfterConstruction() {                                  \
        SetItemTag(Tag);                                               \
        SetItemInterface(&SupportsInterface<IXMLNode>);                \
        TXMLNodeCollection::AfterConstruction();                       \
    }                                                                  \
    std::u16string Class::Getter(int index) {                          \
        return ItemAt(index)->Get_Text();                              \
    }                                                                  \
    IXMLNodePtr Class::Add(const std::u16string& text) {               \
        return Insert(-1, text);                                       \
    }                                                                  \
    IXMLNodePtr Class::Insert(int index, const std::u16string& text) { \
        IXMLNodePtr node = ShareAs<IXMLNode>(AddItem(index));          \
        node->Set_NodeValue(XmlVariant(text));                         \
        return node;                                                   \
    }

JC_STRING_LIST(TXMLClocksType, u"clock", Get_Clock)
JC_STRING_LIST(TXMLTypesType, u"type", Get_Type)
JC_STRING_LIST(TXMLPlacesType, u"place", Get_Place)
JC_STRING_LIST(TXMLPositionsType, u"position", Get_Position)

#undef JC_STRING_LIST

// ---- Dreams ---------------------------------------------------------------

void TXMLDreamsType::AfterConstruction() {
    RegisterChildNode(u"Dream", &NodeClassOf<TXMLDreamType>);
    SetItemTag(u"Dream");
    SetItemInterface(&SupportsInterface<IXMLDreamType>);
    TXMLNodeCollection::AfterConstruction();
}

IXMLDreamTypePtr TXMLDreamsType::Get_Dream(int index) {
    return ShareAs<IXMLDreamType>(ItemAt(index));
}

IXMLDreamTypePtr TXMLDreamsType::Add() {
    return Insert(-1);
}

IXMLDreamTypePtr TXMLDreamsType::Insert(int index) {
    return ShareAs<IXMLDreamType>(AddItem(index));
}

// ---- Dream ----------------------------------------------------------------

double TXMLDreamType::Get_Dt() {
    return GetChildValue("dt").AsDouble();
}
int TXMLDreamType::Get_Clock() {
    return GetChildValue("clock").AsInt();
}
std::u16string TXMLDreamType::Get_Subject() {
    return GetChildText("subject");
}
int TXMLDreamType::Get_Type() {
    return GetChildValue("type").AsInt();
}
int TXMLDreamType::Get_Place() {
    return GetChildValue("place").AsInt();
}
int TXMLDreamType::Get_Position() {
    return GetChildValue("position").AsInt();
}
int TXMLDreamType::Get_Clarity() {
    return GetChildValue("clarity").AsInt();
}
int TXMLDreamType::Get_Duration() {
    return GetChildValue("duration").AsInt();
}
std::u16string TXMLDreamType::Get_Text() {
    return GetChildText("text");
}

void TXMLDreamType::Set_Dt(double value) {
    SetChildValue("dt", XmlVariant(value));
}
void TXMLDreamType::Set_Clock(int value) {
    SetChildValue("clock", XmlVariant(value));
}
void TXMLDreamType::Set_Subject(const std::u16string& value) {
    SetChildValue("subject", XmlVariant(value));
}
void TXMLDreamType::Set_Type(int value) {
    SetChildValue("type", XmlVariant(value));
}
void TXMLDreamType::Set_Place(int value) {
    SetChildValue("place", XmlVariant(value));
}
void TXMLDreamType::Set_Position(int value) {
    SetChildValue("position", XmlVariant(value));
}
void TXMLDreamType::Set_Clarity(int value) {
    SetChildValue("clarity", XmlVariant(value));
}
void TXMLDreamType::Set_Duration(int value) {
    SetChildValue("duration", XmlVariant(value));
}
void TXMLDreamType::Set_Text(const std::u16string& value) {
    SetChildValue("text", XmlVariant(value));
}
