#pragma once

// Typed access to the journal document: one class per element kind over the
// XML component's nodes, each behind its interface. The objects hold no data
// of their own; every call reads or writes the document tree.

#include <memory>
#include <string>

#include "platform/xml/XmlDom.h"

class IXMLContentsType;
class IXMLClocksType;
class IXMLTypesType;
class IXMLPlacesType;
class IXMLPositionsType;
class IXMLDreamsType;
class IXMLDreamType;

using IXMLContentsTypePtr = std::shared_ptr<IXMLContentsType>;
using IXMLClocksTypePtr = std::shared_ptr<IXMLClocksType>;
using IXMLTypesTypePtr = std::shared_ptr<IXMLTypesType>;
using IXMLPlacesTypePtr = std::shared_ptr<IXMLPlacesType>;
using IXMLPositionsTypePtr = std::shared_ptr<IXMLPositionsType>;
using IXMLDreamsTypePtr = std::shared_ptr<IXMLDreamsType>;
using IXMLDreamTypePtr = std::shared_ptr<IXMLDreamType>;

// ---- Interfaces -----------------------------------------------------------

class IXMLContentsType : public virtual IXMLNode {
  public:
    virtual IXMLClocksTypePtr Get_Clocks() = 0;
    virtual IXMLTypesTypePtr Get_Types() = 0;
    virtual IXMLPlacesTypePtr Get_Places() = 0;
    virtual IXMLPositionsTypePtr Get_Positions() = 0;
    virtual IXMLDreamsTypePtr Get_Dreams() = 0;
};

class IXMLClocksType : public virtual IXMLNodeCollection {
  public:
    virtual std::u16string Get_Clock(int index) = 0;
    virtual IXMLNodePtr Add(const std::u16string& clock) = 0;
    virtual IXMLNodePtr Insert(int index, const std::u16string& clock) = 0;
};

class IXMLTypesType : public virtual IXMLNodeCollection {
  public:
    virtual std::u16string Get_Type(int index) = 0;
    virtual IXMLNodePtr Add(const std::u16string& type) = 0;
    virtual IXMLNodePtr Insert(int index, const std::u16string& type) = 0;
};

class IXMLPlacesType : public virtual IXMLNodeCollection {
  public:
    virtual std::u16string Get_Place(int index) = 0;
    virtual IXMLNodePtr Add(const std::u16string& place) = 0;
    virtual IXMLNodePtr Insert(int index, const std::u16string& place) = 0;
};

class IXMLPositionsType : public virtual IXMLNodeCollection {
  public:
    virtual std::u16string Get_Position(int index) = 0;
    virtual IXMLNodePtr Add(const std::u16string& position) = 0;
    virtual IXMLNodePtr Insert(int index, const std::u16string& position) = 0;
};

class IXMLDreamsType : public virtual IXMLNodeCollection {
  public:
    virtual IXMLDreamTypePtr Get_Dream(int index) = 0;
    virtual IXMLDreamTypePtr Add() = 0;
    virtual IXMLDreamTypePtr Insert(int index) = 0;
};

class IXMLDreamType : public virtual IXMLNode {
  public:
    virtual double Get_Dt() = 0;
    virtual int Get_Clock() = 0;
    virtual std::u16string Get_Subject() = 0;
    virtual int Get_Type() = 0;
    virtual int Get_Place() = 0;
    virtual int Get_Position() = 0;
    virtual int Get_Clarity() = 0;
    virtual int Get_Duration() = 0;
    // These two override IXMLNode's: on a Dream they mean its `text` field
    // (the element itself holds only field elements, never text).
    virtual std::u16string Get_Text() = 0;
    virtual void Set_Dt(double value) = 0;
    virtual void Set_Clock(int value) = 0;
    virtual void Set_Subject(const std::u16string& value) = 0;
    virtual void Set_Type(int value) = 0;
    virtual void Set_Place(int value) = 0;
    virtual void Set_Position(int value) = 0;
    virtual void Set_Clarity(int value) = 0;
    virtual void Set_Duration(int value) = 0;
    virtual void Set_Text(const std::u16string& value) = 0;
};

// ---- Entry points ---------------------------------------------------------

// The root `Contents` of the document, created when the document has no root.
// Empty when the root element has another name.
IXMLContentsTypePtr BindContents(const IXMLDocumentPtr& doc);
IXMLContentsTypePtr BindContents(const std::shared_ptr<TXMLDocument>& doc);
IXMLContentsTypePtr BindContents(TXMLDocument& doc);

// ---- Classes --------------------------------------------------------------

class TXMLContentsType : public TXMLNode, public virtual IXMLContentsType {
  public:
    IXMLClocksTypePtr Get_Clocks() override;
    IXMLTypesTypePtr Get_Types() override;
    IXMLPlacesTypePtr Get_Places() override;
    IXMLPositionsTypePtr Get_Positions() override;
    IXMLDreamsTypePtr Get_Dreams() override;

  protected:
    void AfterConstruction() override;
};

// The four string lists differ only in their item tag and getter name.
class TXMLClocksType : public TXMLNodeCollection, public virtual IXMLClocksType {
  public:
    std::u16string Get_Clock(int index) override;
    IXMLNodePtr Add(const std::u16string& clock) override;
    IXMLNodePtr Insert(int index, const std::u16string& clock) override;

  protected:
    void AfterConstruction() override;
};

class TXMLTypesType : public TXMLNodeCollection, public virtual IXMLTypesType {
  public:
    std::u16string Get_Type(int index) override;
    IXMLNodePtr Add(const std::u16string& type) override;
    IXMLNodePtr Insert(int index, const std::u16string& type) override;

  protected:
    void AfterConstruction() override;
};

class TXMLPlacesType : public TXMLNodeCollection, public virtual IXMLPlacesType {
  public:
    std::u16string Get_Place(int index) override;
    IXMLNodePtr Add(const std::u16string& place) override;
    IXMLNodePtr Insert(int index, const std::u16string& place) override;

  protected:
    void AfterConstruction() override;
};

class TXMLPositionsType : public TXMLNodeCollection, public virtual IXMLPositionsType {
  public:
    std::u16string Get_Position(int index) override;
    IXMLNodePtr Add(const std::u16string& position) override;
    IXMLNodePtr Insert(int index, const std::u16string& position) override;

  protected:
    void AfterConstruction() override;
};

class TXMLDreamsType : public TXMLNodeCollection, public virtual IXMLDreamsType {
  public:
    IXMLDreamTypePtr Get_Dream(int index) override;
    IXMLDreamTypePtr Add() override;
    IXMLDreamTypePtr Insert(int index) override;

  protected:
    void AfterConstruction() override;
};

class TXMLDreamType : public TXMLNode, public virtual IXMLDreamType {
  public:
    double Get_Dt() override;
    int Get_Clock() override;
    std::u16string Get_Subject() override;
    int Get_Type() override;
    int Get_Place() override;
    int Get_Position() override;
    int Get_Clarity() override;
    int Get_Duration() override;
    std::u16string Get_Text() override;
    void Set_Dt(double value) override;
    void Set_Clock(int value) override;
    void Set_Subject(const std::u16string& value) override;
    void Set_Type(int value) override;
    void Set_Place(int value) override;
    void Set_Position(int value) override;
    void Set_Clarity(int value) override;
    void Set_Duration(int value) override;
    void Set_Text(const std::u16string& value) override;
};
