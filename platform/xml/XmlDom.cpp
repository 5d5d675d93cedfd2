#include "platform/xml/XmlDom.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <strings.h>

#include <climits>
#include <cstring>

#include "platform/os/Env.h"
#include "platform/text/PathText.h"
#include "platform/text/Utf16.h"
#include "platform/xml/XmlCodec.h"
#include "platform/xml/XmlReader.h"
#include "platform/xml/XmlWriter.h"

namespace {

[[noreturn]] void ThrowIndexError(int index) {
    throw XmlError("List index out of bounds (" + std::to_string(index) + ")");
}

[[noreturn]] void ThrowNotSingleText() {
    throw XmlError("Element does not contain a single text node");
}

const char* NameOf(const xmlNode* node) {
    return reinterpret_cast<const char*>(node->name);
}

bool HasName(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE && std::strcmp(NameOf(node), name) == 0;
}

// The text of an element by the single-text rule, as UTF-8.
std::string ReadText(const xmlNode* node) {
    if (node->type != XML_ELEMENT_NODE)
        return node->content != nullptr ? reinterpret_cast<const char*>(node->content) : "";
    const xmlNode* child = node->children;
    if (child == nullptr)
        return std::string();
    if (child->next != nullptr || child->type != XML_TEXT_NODE)
        ThrowNotSingleText();
    return child->content != nullptr ? reinterpret_cast<const char*>(child->content) : "";
}

std::string TextForm(const XmlVariant& value) {
    return platform::ToXmlUtf8(value.AsString());
}

}  // namespace

// ---- TXMLDocument ---------------------------------------------------------

TXMLDocument::TXMLDocument(_xmlDoc* doc, std::u16string fileName)
    : doc_(doc), fileName_(std::move(fileName)) {
    const char* declared = reinterpret_cast<const char*>(doc->encoding);
    encoding_ =
        declared != nullptr && strcasecmp(declared, "UTF-8") == 0 ? u"UTF-8" : u"Windows-1251";
}

TXMLDocument::~TXMLDocument() {
    objects_.clear();
    for (xmlNode* node : detached_)
        xmlFreeNode(node);
    xmlFreeDoc(doc_);
}

std::shared_ptr<TXMLDocument> TXMLDocument::Create(const std::u16string& path) {
    std::string bytes;
    const platform::Status status =
        platform::ReadWholeFile(platform::Env::Current(), platform::WideToPath(path), &bytes);
    if (!status.ok())
        throw XmlError(status);
    return Parse(bytes, path);
}

std::shared_ptr<TXMLDocument> TXMLDocument::Parse(const std::string& bytes,
                                                  const std::u16string& name) {
    xmlDoc* doc = platform::ParseXml(bytes, platform::WideToPath(name));
    return std::shared_ptr<TXMLDocument>(new TXMLDocument(doc, name));
}

void TXMLDocument::SetEncoding(const std::u16string& encoding) {
    const std::string name = platform::Utf16ToUtf8(encoding);
    if (strcasecmp(name.c_str(), "Windows-1251") == 0) {
        encoding_ = u"Windows-1251";
    } else if (strcasecmp(name.c_str(), "UTF-8") == 0) {
        encoding_ = u"UTF-8";
    } else {
        throw XmlError("Unsupported encoding \"" + name + "\"");
    }
}

IXMLNodePtr TXMLDocument::Get_DocumentElement() {
    xmlNode* root = xmlDocGetRootElement(doc_);
    if (root == nullptr)
        return nullptr;
    return Share(Wrap(root, nullptr));
}

void TXMLDocument::RegisterDocBinding(const std::u16string& tagName, TXMLNodeClass rootClass,
                                      const std::u16string& /*namespaceURI*/) {
    rootTag_ = platform::Utf16ToUtf8(tagName);
    rootClass_ = rootClass;
}

IXMLNodePtr TXMLDocument::GetDocBinding(const std::u16string& tagName, TXMLNodeClass rootClass,
                                        const std::u16string& namespaceURI) {
    RegisterDocBinding(tagName, rootClass, namespaceURI);
    xmlNode* root = xmlDocGetRootElement(doc_);
    if (root == nullptr) {
        root = xmlNewDocNode(doc_, nullptr, BAD_CAST rootTag_.c_str(), nullptr);
        if (root == nullptr)
            throw XmlError("Out of memory");
        xmlDocSetRootElement(doc_, root);
    }
    return Get_DocumentElement();
}

void TXMLDocument::SaveToFile(const std::u16string& path) {
    const std::string bytes = SaveToXML();
    const platform::Status status =
        platform::WriteFileAtomically(platform::Env::Current(), platform::WideToPath(path), bytes);
    if (!status.ok())
        throw XmlError(status);
}

std::string TXMLDocument::SaveToXML() {
    return platform::WriteXml(doc_, encoding_ == u"UTF-8"
                                        ? platform::XmlOutputEncoding::kUtf8
                                        : platform::XmlOutputEncoding::kWindows1251);
}

TXMLNode* TXMLDocument::Wrap(_xmlNode* node, const TXMLNode* parent) {
    TXMLNode* existing = static_cast<TXMLNode*>(node->_private);
    if (existing != nullptr && !existing->plain_)
        return existing;
    TXMLNodeClass nodeClass = nullptr;
    if (node->type == XML_ELEMENT_NODE) {
        if (node->parent == reinterpret_cast<xmlNode*>(doc_)) {
            if (rootClass_ != nullptr && rootTag_ == NameOf(node))
                nodeClass = rootClass_;
        } else if (node->parent != nullptr && node->parent->type == XML_ELEMENT_NODE) {
            if (parent == nullptr)
                parent = Wrap(node->parent, nullptr);
            nodeClass = parent->ClassFor(NameOf(node));
        }
    }
    // A node first reached before its class was registered (through a plain
    // parent, or before the document binding) gets an object of its class
    // now; the plain object stays valid for whoever holds it.
    if (existing != nullptr && nodeClass == nullptr)
        return existing;
    std::unique_ptr<TXMLNode> object =
        nodeClass != nullptr ? nodeClass() : std::make_unique<TXMLNode>();
    TXMLNode* raw = object.get();
    raw->document_ = this;
    raw->node_ = node;
    raw->plain_ = nodeClass == nullptr;
    node->_private = raw;
    objects_.push_back(std::move(object));
    raw->AfterConstruction();
    return raw;
}

IXMLNodePtr TXMLDocument::Share(TXMLNode* node) {
    return IXMLNodePtr(shared_from_this(), static_cast<IXMLNode*>(node));
}

void TXMLDocument::Detach(_xmlNode* node) {
    xmlNode* parent = node->parent;
    xmlUnlinkNode(node);
    detached_.push_back(node);
    if (parent != nullptr)
        ChildrenChanged(parent, nullptr);
}

void TXMLDocument::ChildrenChanged(_xmlNode* parent, _xmlNode* appended) {
    if (parent->type == XML_ELEMENT_NODE && parent->_private != nullptr)
        static_cast<TXMLNode*>(parent->_private)->ChildrenChanged(appended);
}

// ---- IXMLNodeList ---------------------------------------------------------

int IXMLNodeList::Get_Count() const {
    int count = 0;
    for (xmlNode* child = owner_->node_->children; child != nullptr; child = child->next)
        ++count;
    return count;
}

IXMLNodePtr IXMLNodeList::Get_Nodes(int index) const {
    if (index >= 0) {
        int i = 0;
        for (xmlNode* child = owner_->node_->children; child != nullptr; child = child->next) {
            if (i++ == index)
                return owner_->document_->Share(owner_->WrapChild(child));
        }
    }
    ThrowIndexError(index);
}

IXMLNodePtr IXMLNodeList::Get_Nodes(const std::u16string& name) const {
    return owner_->document_->Share(
        owner_->WrapChild(owner_->ChildElement(platform::Utf16ToUtf8(name).c_str())));
}

IXMLNodePtr IXMLNodeList::FindNode(const std::u16string& name) const {
    xmlNode* child = owner_->FindChildElement(platform::Utf16ToUtf8(name).c_str());
    if (child == nullptr)
        return nullptr;
    return owner_->document_->Share(owner_->WrapChild(child));
}

int IXMLNodeList::IndexOf(const IXMLNodePtr& node) const {
    const TXMLNode* object = dynamic_cast<const TXMLNode*>(node.get());
    if (object == nullptr)
        return -1;
    int i = 0;
    for (xmlNode* child = owner_->node_->children; child != nullptr; child = child->next, ++i) {
        if (child == object->node_)
            return i;
    }
    return -1;
}

// ---- TXMLNode -------------------------------------------------------------

std::u16string TXMLNode::Get_NodeName() const {
    switch (node_->type) {
        case XML_ELEMENT_NODE:
        case XML_PI_NODE:
            break;
        case XML_TEXT_NODE:
            return u"#text";
        case XML_COMMENT_NODE:
            return u"#comment";
        default:
            return u"#node";
    }
    std::string name;
    if (node_->ns != nullptr && node_->ns->prefix != nullptr) {
        name = reinterpret_cast<const char*>(node_->ns->prefix);
        name.push_back(':');
    }
    name += NameOf(node_);
    return platform::Utf8ToUtf16(name);
}

TXMLNodeType TXMLNode::Get_NodeType() const {
    switch (node_->type) {
        case XML_ELEMENT_NODE:
            return TXMLNodeType::kElement;
        case XML_TEXT_NODE:
            return TXMLNodeType::kText;
        case XML_COMMENT_NODE:
            return TXMLNodeType::kComment;
        case XML_PI_NODE:
            return TXMLNodeType::kProcessingInstruction;
        default:
            return TXMLNodeType::kOther;
    }
}

bool TXMLNode::Get_IsTextElement() const {
    return node_->type == XML_ELEMENT_NODE && node_->children != nullptr &&
           node_->children->next == nullptr && node_->children->type == XML_TEXT_NODE;
}

bool TXMLNode::HasChildNodes() const {
    return node_->children != nullptr;
}

std::u16string TXMLNode::Get_Text() {
    return platform::Utf8ToUtf16(ReadText(node_));
}

void TXMLNode::Set_Text(const std::u16string& text) {
    Document().WriteText(node_, platform::ToXmlUtf8(text));
}

XmlVariant TXMLNode::Get_NodeValue() const {
    const std::string text = ReadText(node_);
    if (text.empty())
        return XmlVariant();
    return XmlVariant(platform::Utf8ToUtf16(text));
}

void TXMLNode::Set_NodeValue(const XmlVariant& value) {
    Document().WriteText(node_, TextForm(value));
}

IXMLNodeList TXMLNode::ChildNodes() {
    return IXMLNodeList(std::shared_ptr<TXMLNode>(document_->shared_from_this(), this));
}

IXMLNodePtr TXMLNode::AddChild(const std::u16string& tagName, int index) {
    if (node_->type != XML_ELEMENT_NODE)
        throw XmlError("Only an element can have child elements");
    xmlNode* before = nullptr;
    if (index != -1) {
        int i = 0;
        xmlNode* child = node_->children;
        for (; child != nullptr && i < index; child = child->next)
            ++i;
        if (index < 0 || i < index)
            ThrowIndexError(index);
        before = child;  // null: index is the count, which appends
    }
    xmlNode* element = NewElement(platform::Utf16ToUtf8(tagName));
    if (before != nullptr) {
        xmlAddPrevSibling(before, element);
        document_->ChildrenChanged(node_, nullptr);
    } else {
        xmlAddChild(node_, element);
        document_->ChildrenChanged(node_, element);
    }
    return document_->Share(WrapChild(element));
}

IXMLNodePtr TXMLNode::Get_ParentNode() {
    xmlNode* parent = node_->parent;
    if (parent == nullptr || parent->type != XML_ELEMENT_NODE)
        return nullptr;
    return document_->Share(document_->Wrap(parent, nullptr));
}

IXMLDocumentPtr TXMLNode::Get_OwnerDocument() {
    return document_->shared_from_this();
}

void TXMLNode::RegisterChildNode(const std::u16string& tagName, TXMLNodeClass childClass,
                                 const std::u16string& /*namespaceURI*/) {
    childClasses_.emplace_back(platform::Utf16ToUtf8(tagName), childClass);
}

TXMLNodeClass TXMLNode::ClassFor(const char* tag) const {
    for (const auto& entry : childClasses_) {
        if (entry.first == tag)
            return entry.second;
    }
    return nullptr;
}

XmlVariant TXMLNode::GetChildValue(const char* name) {
    const std::string text = ReadText(ChildElement(name));
    if (text.empty())
        return XmlVariant();
    return XmlVariant(platform::Utf8ToUtf16(text));
}

void TXMLNode::SetChildValue(const char* name, const XmlVariant& value) {
    Document().WriteText(ChildElement(name), TextForm(value));
}

std::u16string TXMLNode::GetChildText(const char* name) {
    return platform::Utf8ToUtf16(ReadText(ChildElement(name)));
}

void TXMLNode::SetChildText(const char* name, const std::u16string& text) {
    Document().WriteText(ChildElement(name), platform::ToXmlUtf8(text));
}

_xmlNode* TXMLNode::NodeOf(const IXMLNodePtr& node) {
    const TXMLNode* object = dynamic_cast<const TXMLNode*>(node.get());
    return object != nullptr ? object->node_ : nullptr;
}

_xmlNode* TXMLNode::FindChildElement(const char* name) const {
    for (xmlNode* child = node_->children; child != nullptr; child = child->next) {
        if (HasName(child, name))
            return child;
    }
    return nullptr;
}

_xmlNode* TXMLNode::ChildElement(const char* name) {
    xmlNode* child = FindChildElement(name);
    if (child != nullptr)
        return child;
    if ((document_->options_ & doNodeAutoCreate) == 0)
        throw XmlError("Node \"" + std::string(name) + "\" not found");
    if (node_->type != XML_ELEMENT_NODE)
        throw XmlError("Only an element can have child elements");
    child = NewElement(name);
    xmlAddChild(node_, child);
    document_->ChildrenChanged(node_, child);
    return child;
}

_xmlNode* TXMLNode::NewElement(const std::string& name) {
    if (name.empty() || xmlValidateName(BAD_CAST name.c_str(), 0) != 0)
        throw XmlError("Invalid element name \"" + name + "\"");
    xmlNode* element = xmlNewDocNode(document_->doc_, nullptr, BAD_CAST name.c_str(), nullptr);
    if (element == nullptr)
        throw XmlError("Out of memory");
    return element;
}

void TXMLDocument::WriteText(_xmlNode* node, const std::string& utf8) {
    if (node->type != XML_ELEMENT_NODE) {
        if (node->type != XML_TEXT_NODE)
            ThrowNotSingleText();
        xmlNodeSetContentLen(node, BAD_CAST utf8.data(), static_cast<int>(utf8.size()));
        return;
    }
    xmlNode* old = node->children;
    if (old != nullptr && (old->next != nullptr || old->type != XML_TEXT_NODE))
        ThrowNotSingleText();
    if (utf8.size() > INT_MAX)
        throw XmlError("Text too long");
    xmlNode* text = nullptr;
    if (!utf8.empty()) {
        // The raw constructor: the text is taken as it stands, "&" included.
        text = xmlNewDocTextLen(doc_, BAD_CAST utf8.data(), static_cast<int>(utf8.size()));
        if (text == nullptr)
            throw XmlError("Out of memory");
    }
    if (old != nullptr) {
        if (text != nullptr)
            xmlReplaceNode(old, text);
        if (old->_private != nullptr) {
            xmlUnlinkNode(old);
            detached_.push_back(old);  // someone holds its object
        } else {
            xmlUnlinkNode(old);
            xmlFreeNode(old);
        }
    } else if (text != nullptr) {
        xmlAddChild(node, text);
    }
}

// ---- TXMLNodeCollection ---------------------------------------------------

void TXMLNodeCollection::SetItemTag(const std::u16string& tag) {
    itemTag_ = platform::Utf16ToUtf8(tag);
    itemsValid_ = false;
}

bool TXMLNodeCollection::IsItem(_xmlNode* child) {
    if (!HasName(child, itemTag_.c_str()))
        return false;
    return itemInterface_ == nullptr || itemInterface_(WrapChild(child));
}

const std::vector<_xmlNode*>& TXMLNodeCollection::Items() {
    if (!itemsValid_) {
        items_.clear();
        for (xmlNode* child = Element()->children; child != nullptr; child = child->next) {
            if (IsItem(child))
                items_.push_back(child);
        }
        itemsValid_ = true;
    }
    return items_;
}

void TXMLNodeCollection::ChildrenChanged(_xmlNode* appended) {
    if (!itemsValid_)
        return;
    if (appended != nullptr && appended == Element()->last) {
        if (IsItem(appended))
            items_.push_back(appended);
        return;
    }
    itemsValid_ = false;
}

int TXMLNodeCollection::Get_Count() {
    return static_cast<int>(Items().size());
}

TXMLNode* TXMLNodeCollection::ItemAt(int index) {
    const auto& items = Items();
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        ThrowIndexError(index);
    return WrapChild(items[static_cast<size_t>(index)]);
}

IXMLNodePtr TXMLNodeCollection::Get_Nodes(int index) {
    return Document().Share(ItemAt(index));
}

TXMLNode* TXMLNodeCollection::AddItem(int index) {
    const auto& items = Items();
    const int count = static_cast<int>(items.size());
    if (index < -1 || index > count)
        ThrowIndexError(index);
    xmlNode* element = NewElement(itemTag_);
    if (index == -1 || index == count) {
        xmlAddChild(Element(), element);
        if (IsItem(element))
            items_.push_back(element);
    } else {
        xmlAddPrevSibling(items[static_cast<size_t>(index)], element);
        if (IsItem(element))
            items_.insert(items_.begin() + index, element);
    }
    return WrapChild(element);
}

void TXMLNodeCollection::Delete(int index) {
    const auto& items = Items();
    if (index < 0 || static_cast<size_t>(index) >= items.size())
        ThrowIndexError(index);
    xmlNode* element = items[static_cast<size_t>(index)];
    xmlUnlinkNode(element);
    Document().detached_.push_back(element);
    items_.erase(items_.begin() + index);
}

void TXMLNodeCollection::Clear() {
    for (xmlNode* element : Items()) {
        xmlUnlinkNode(element);
        Document().detached_.push_back(element);
    }
    items_.clear();
}

int TXMLNodeCollection::Remove(const IXMLNodePtr& node) {
    xmlNode* element = NodeOf(node);
    if (element == nullptr)
        return -1;
    const auto& items = Items();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == element) {
            Delete(static_cast<int>(i));
            return static_cast<int>(i);
        }
    }
    return -1;
}
