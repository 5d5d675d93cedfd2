#pragma once

// The XML document component: a document held in memory as a tree of element
// nodes, read from and written to a file in one piece. Element objects are
// created by the document when an element is first reached; a parent may
// register, per child tag, the class its children are made of, which is how
// the typed journal binding sits on top of this layer.
//
// Every reference handed out (IXMLNodePtr and the typed ones) shares
// ownership of the whole document, so a node reference keeps its document
// alive, and a node taken out of the tree stays valid (detached) until the
// document goes. Single-threaded, like the rest of the program.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/os/Env.h"
#include "platform/xml/XmlVariant.h"

struct _xmlNode;
struct _xmlDoc;

class IXMLNode;
class IXMLNodeCollection;
class IXMLDocument;
class TXMLNode;
class TXMLNodeCollection;
class TXMLDocument;

using IXMLNodePtr = std::shared_ptr<IXMLNode>;
using IXMLNodeCollectionPtr = std::shared_ptr<IXMLNodeCollection>;
using IXMLDocumentPtr = std::shared_ptr<IXMLDocument>;

// A node class: makes an (unattached) object of one TXMLNode-derived class.
using TXMLNodeClass = std::unique_ptr<TXMLNode> (*)();
template <class T>
std::unique_ptr<TXMLNode> NodeClassOf() {
    return std::make_unique<T>();
}

// An item interface: tells whether a node's object supports it.
using TXMLItemInterface = bool (*)(const IXMLNode* node);
template <class I>
bool SupportsInterface(const IXMLNode* node) {
    return dynamic_cast<const I*>(node) != nullptr;
}

// Document options. Only doNodeAutoCreate changes behaviour here: with it, a
// lookup of a missing child by name creates the child instead of failing.
enum TXMLDocOption : unsigned {
    doNodeAutoCreate = 1u << 0,
    doNodeAutoIndent = 1u << 1,
    doAttrNull = 1u << 2,
    doAutoPrefix = 1u << 3,
    doNamespaceDecl = 1u << 4,
};
using TXMLDocOptions = unsigned;

enum class TXMLNodeType { kElement, kText, kComment, kProcessingInstruction, kOther };

// The child nodes of one node, in document order (elements, texts, comments).
class IXMLNodeList {
  public:
    int Get_Count() const;
    // "List index out of bounds (%d)" outside 0 .. count-1.
    IXMLNodePtr Get_Nodes(int index) const;
    // The first child element with that name. A missing one is created empty
    // as the last child when the document has doNodeAutoCreate, and is
    // "Node \"<name>\" not found" otherwise.
    IXMLNodePtr Get_Nodes(const std::u16string& name) const;
    IXMLNodePtr operator[](int index) const { return Get_Nodes(index); }
    IXMLNodePtr operator[](const std::u16string& name) const { return Get_Nodes(name); }
    // Like Get_Nodes(name) but never creates: empty when there is none.
    IXMLNodePtr FindNode(const std::u16string& name) const;
    // The node's position in this list, -1 when it is not a child.
    int IndexOf(const IXMLNodePtr& node) const;

  private:
    friend class TXMLNode;
    explicit IXMLNodeList(std::shared_ptr<TXMLNode> owner) : owner_(std::move(owner)) {}
    std::shared_ptr<TXMLNode> owner_;
};

class IXMLNode {
  public:
    virtual ~IXMLNode() = default;

    virtual std::u16string Get_NodeName() const = 0;
    virtual TXMLNodeType Get_NodeType() const = 0;
    // An element whose only child is one text node.
    virtual bool Get_IsTextElement() const = 0;
    virtual bool HasChildNodes() const = 0;
    // An element's text: empty without children, the text of a single text
    // child, and "Element does not contain a single text node" otherwise.
    // Setting follows the same rule, so it never discards child elements.
    // Characters XML cannot hold are replaced (see XmlCodec.h). A typed
    // element class may give these two another meaning (a Dream's `text`).
    virtual std::u16string Get_Text() = 0;
    virtual void Set_Text(const std::u16string& text) = 0;
    // The text as a variant, an empty text reading as null; writing stores
    // the variant's text form.
    virtual XmlVariant Get_NodeValue() const = 0;
    virtual void Set_NodeValue(const XmlVariant& value) = 0;
    virtual IXMLNodeList ChildNodes() = 0;
    // A new empty child element, appended (-1) or inserted before the child
    // node at `index`.
    virtual IXMLNodePtr AddChild(const std::u16string& tagName, int index) = 0;
    IXMLNodePtr AddChild(const std::u16string& tagName) { return AddChild(tagName, -1); }
    // Empty for the root element and for a node taken out of the tree.
    virtual IXMLNodePtr Get_ParentNode() = 0;
    virtual IXMLDocumentPtr Get_OwnerDocument() = 0;
};

// A collection element: its items are the child elements named by the item
// tag whose objects support the item interface, in document order. Other
// children are kept but are not items.
class IXMLNodeCollection : public virtual IXMLNode {
  public:
    virtual int Get_Count() = 0;
    // "List index out of bounds (%d)" outside 0 .. count-1.
    virtual IXMLNodePtr Get_Nodes(int index) = 0;
    virtual void Clear() = 0;            // removes every item
    virtual void Delete(int index) = 0;  // removes the item at the index
    // Removes the item and returns the index it had, -1 when it is no item.
    virtual int Remove(const IXMLNodePtr& node) = 0;
};

class IXMLDocument {
  public:
    virtual ~IXMLDocument() = default;

    // A document made on a path is loaded at once, so it is always active.
    virtual bool Get_Active() const = 0;
    virtual TXMLDocOptions Get_Options() const = 0;
    virtual void Set_Options(TXMLDocOptions options) = 0;
    virtual std::u16string Get_FileName() const = 0;
    // The encoding that a save declares and writes: "Windows-1251" or "UTF-8"
    // (any other is refused with an XmlError).
    virtual std::u16string Get_Encoding() const = 0;
    virtual void SetEncoding(const std::u16string& encoding) = 0;
    // Empty when the document has no root element.
    virtual IXMLNodePtr Get_DocumentElement() = 0;
    // The root element is made of `rootClass` when its name is `tagName`.
    virtual void RegisterDocBinding(const std::u16string& tagName, TXMLNodeClass rootClass,
                                    const std::u16string& namespaceURI) = 0;
    // Registers, creates a root named `tagName` when there is none, and
    // returns the root element (of another class when named otherwise).
    virtual IXMLNodePtr GetDocBinding(const std::u16string& tagName, TXMLNodeClass rootClass,
                                      const std::u16string& namespaceURI) = 0;
    // Writes the declaration and the whole tree: one element per line, tab
    // indentation, CR LF line ends. The file is replaced atomically; a failure
    // is an XmlError naming the path and the reason.
    virtual void SaveToFile(const std::u16string& path) = 0;
    // The same for the file `name` of a folder held open.
    virtual void SaveToFile(platform::Folder& folder, const std::string& name) = 0;
    // The bytes SaveToFile writes.
    virtual std::string SaveToXML() = 0;
};

class TXMLDocument final : public IXMLDocument, public std::enable_shared_from_this<TXMLDocument> {
  public:
    // Reads the file and parses it (XmlError on failure: the path and the
    // reason, or "<path>:<line>: <parser message>").
    static std::shared_ptr<TXMLDocument> Create(const std::u16string& path);
    // The same for the file `name` of a folder held open.
    static std::shared_ptr<TXMLDocument> Create(platform::Folder& folder, const std::string& name);
    // Parses bytes held in memory; `name` stands for the file in messages.
    static std::shared_ptr<TXMLDocument> Parse(const std::string& bytes,
                                               const std::u16string& name);

    ~TXMLDocument() override;
    TXMLDocument(const TXMLDocument&) = delete;
    TXMLDocument& operator=(const TXMLDocument&) = delete;

    bool Get_Active() const override { return true; }
    TXMLDocOptions Get_Options() const override { return options_; }
    void Set_Options(TXMLDocOptions options) override { options_ = options; }
    std::u16string Get_FileName() const override { return fileName_; }
    std::u16string Get_Encoding() const override { return encoding_; }
    void SetEncoding(const std::u16string& encoding) override;
    IXMLNodePtr Get_DocumentElement() override;
    void RegisterDocBinding(const std::u16string& tagName, TXMLNodeClass rootClass,
                            const std::u16string& namespaceURI) override;
    IXMLNodePtr GetDocBinding(const std::u16string& tagName, TXMLNodeClass rootClass,
                              const std::u16string& namespaceURI) override;
    void SaveToFile(const std::u16string& path) override;
    void SaveToFile(platform::Folder& folder, const std::string& name) override;
    std::string SaveToXML() override;

  private:
    friend class TXMLNode;
    friend class TXMLNodeCollection;
    friend class IXMLNodeList;

    TXMLDocument(_xmlDoc* doc, std::u16string fileName);

    // The object of `node`, made on first use: of the class that `parent`
    // registered for the node's tag, or a plain TXMLNode.
    TXMLNode* Wrap(_xmlNode* node, const TXMLNode* parent);
    IXMLNodePtr Share(TXMLNode* node);
    // Takes the node out of the tree, keeping it (and its object) until the
    // document goes, so that references to it stay safe.
    void Detach(_xmlNode* node);
    // Tells the object of `parent` (if any) that its children changed;
    // `appended` is the new last child when that was the only change.
    void ChildrenChanged(_xmlNode* parent, _xmlNode* appended);
    // Sets the text of `node` (UTF-8, already made safe) by the single-text rule.
    void WriteText(_xmlNode* node, const std::string& utf8);

    _xmlDoc* doc_;
    std::u16string fileName_;
    std::u16string encoding_;
    TXMLDocOptions options_ = doNodeAutoCreate | doAttrNull | doAutoPrefix | doNamespaceDecl;
    std::string rootTag_;
    TXMLNodeClass rootClass_ = nullptr;
    std::vector<std::unique_ptr<TXMLNode>> objects_;
    std::vector<_xmlNode*> detached_;
};

class TXMLNode : public virtual IXMLNode {
  public:
    TXMLNode() = default;
    ~TXMLNode() override = default;
    TXMLNode(const TXMLNode&) = delete;
    TXMLNode& operator=(const TXMLNode&) = delete;

    std::u16string Get_NodeName() const override;
    TXMLNodeType Get_NodeType() const override;
    bool Get_IsTextElement() const override;
    bool HasChildNodes() const override;
    std::u16string Get_Text() override;
    void Set_Text(const std::u16string& text) override;
    XmlVariant Get_NodeValue() const override;
    void Set_NodeValue(const XmlVariant& value) override;
    IXMLNodeList ChildNodes() override;
    using IXMLNode::AddChild;
    IXMLNodePtr AddChild(const std::u16string& tagName, int index) override;
    IXMLNodePtr Get_ParentNode() override;
    IXMLDocumentPtr Get_OwnerDocument() override;

  protected:
    // Runs once, right after the document made the object for its element.
    // A derived class makes its registrations and then calls its base's.
    virtual void AfterConstruction() {}
    // Children named `tagName` are made of `childClass`. The namespace is
    // accepted for form; the journal uses none.
    void RegisterChildNode(const std::u16string& tagName, TXMLNodeClass childClass,
                           const std::u16string& namespaceURI = u"");

    // Typed field access without making objects for the field elements: the
    // child element named `name` (ASCII), found or created like
    // ChildNodes().Get_Nodes(name), then read or written by the text rules.
    XmlVariant GetChildValue(const char* name);
    void SetChildValue(const char* name, const XmlVariant& value);
    std::u16string GetChildText(const char* name);
    void SetChildText(const char* name, const std::u16string& text);

    // The object of a child element, handed out as a shared reference.
    template <class I>
    std::shared_ptr<I> ShareAs(TXMLNode* node) {
        return std::dynamic_pointer_cast<I>(document_->Share(node));
    }
    IXMLNodePtr ShareSelf() { return document_->Share(this); }
    TXMLNode* WrapChild(_xmlNode* child) { return document_->Wrap(child, this); }
    TXMLDocument& Document() const { return *document_; }
    _xmlNode* Element() const { return node_; }

    // The children of this element changed (see TXMLDocument::ChildrenChanged).
    virtual void ChildrenChanged(_xmlNode* appended) { (void)appended; }

    // The element behind a reference, null when it is none of ours.
    static _xmlNode* NodeOf(const IXMLNodePtr& node);

    _xmlNode* FindChildElement(const char* name) const;
    _xmlNode* ChildElement(const char* name);  // found or auto-created
    _xmlNode* NewElement(const std::string& name);

  private:
    friend class TXMLDocument;
    friend class IXMLNodeList;

    TXMLNodeClass ClassFor(const char* tag) const;

    TXMLDocument* document_ = nullptr;
    _xmlNode* node_ = nullptr;
    bool plain_ = true;  // made without a registered class
    std::vector<std::pair<std::string, TXMLNodeClass>> childClasses_;
};

class TXMLNodeCollection : public TXMLNode, public virtual IXMLNodeCollection {
  public:
    int Get_Count() override;
    IXMLNodePtr Get_Nodes(int index) override;
    void Clear() override;
    void Delete(int index) override;
    int Remove(const IXMLNodePtr& node) override;

  protected:
    void SetItemTag(const std::u16string& tag);
    void SetItemInterface(TXMLItemInterface itemInterface) { itemInterface_ = itemInterface; }
    // A new empty item element at item position `index` (-1 or the count
    // appends it as the last child); "List index out of bounds (%d)" below -1
    // or above the count. The index counts items, not all child nodes: other
    // nodes in the list element (a comment, a stray element) must not shift
    // an entry out of the slot that dreams refer to it by.
    TXMLNode* AddItem(int index);
    TXMLNode* ItemAt(int index);

    void ChildrenChanged(_xmlNode* appended) override;

  private:
    bool IsItem(_xmlNode* child);
    const std::vector<_xmlNode*>& Items();

    std::string itemTag_;
    TXMLItemInterface itemInterface_ = nullptr;  // null: any node
    // The item elements, walked once and kept until the children change.
    std::vector<_xmlNode*> items_;
    bool itemsValid_ = false;
};
