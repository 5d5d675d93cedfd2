#include "platform/xml/XmlReader.h"

#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>
#include <vector>

#include "platform/xml/XmlCodec.h"
#include "platform/xml/XmlVariant.h"

namespace platform {
namespace {

struct ParseState {
    bool failed = false;
    int line = 0;
    std::string message;
};

void Fail(ParseState* state, int line, std::string message) {
    if (state->failed)
        return;  // the first error is the cause; later ones follow from it
    state->failed = true;
    state->line = line;
    // One line for the user: libxml2 ends its messages with a line break and
    // sometimes continues on a second line.
    for (char& c : message) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    while (!message.empty() && message.back() == ' ')
        message.pop_back();
    state->message = std::move(message);
}

void OnError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    if (error == nullptr || error->level < XML_ERR_ERROR)
        return;
    Fail(static_cast<ParseState*>(ctxt->_private), error->line,
         error->message != nullptr ? error->message : "malformed document");
}

// A document type declaration could declare entities that expand without
// bound or reach outside; the journal never has one, so none is accepted.
void OnInternalSubset(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    Fail(static_cast<ParseState*>(ctxt->_private), xmlSAX2GetLineNumber(ctxt),
         "a document type declaration is not allowed");
    xmlStopParser(ctxt);
}

bool IsBlank(const xmlChar* text) {
    if (text == nullptr)
        return true;
    for (; *text != 0; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r')
            return false;
    }
    return true;
}

bool IsCharacterData(const xmlNode* node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// In an element that holds CDATA, each run of text and CDATA becomes one text
// node (whitespace included: the writer marks meaningful whitespace so).
// Elsewhere a whitespace-only text is layout and goes.
void NormalizeChildren(xmlDoc* doc, xmlNode* element) {
    bool hasCData = false;
    for (xmlNode* child = element->children; child != nullptr; child = child->next)
        hasCData = hasCData || child->type == XML_CDATA_SECTION_NODE;
    xmlNode* child = element->children;
    while (child != nullptr) {
        if (!IsCharacterData(child)) {
            child = child->next;
            continue;
        }
        if (!hasCData) {
            xmlNode* next = child->next;
            if (IsBlank(child->content)) {
                xmlUnlinkNode(child);
                xmlFreeNode(child);
            }
            child = next;
            continue;
        }
        std::string text;
        xmlNode* end = child;
        while (end != nullptr && IsCharacterData(end)) {
            if (end->content != nullptr)
                text += reinterpret_cast<const char*>(end->content);
            end = end->next;
        }
        // xmlReplaceNode, unlike the sibling adders, never merges text nodes
        // (which would free the node being placed).
        xmlNode* first = child;
        child = first->next;
        if (!text.empty()) {
            xmlNode* merged =
                xmlNewDocTextLen(doc, BAD_CAST text.data(), static_cast<int>(text.size()));
            if (merged == nullptr)
                throw XmlError("Out of memory");
            xmlReplaceNode(first, merged);
        } else {
            xmlUnlinkNode(first);
        }
        xmlFreeNode(first);
        while (child != end) {
            xmlNode* next = child->next;
            xmlUnlinkNode(child);
            xmlFreeNode(child);
            child = next;
        }
    }
}

void Normalize(xmlDoc* doc) {
    std::vector<xmlNode*> pending;
    if (xmlNode* root = xmlDocGetRootElement(doc))
        pending.push_back(root);
    while (!pending.empty()) {
        xmlNode* element = pending.back();
        pending.pop_back();
        NormalizeChildren(doc, element);
        for (xmlNode* child = element->children; child != nullptr; child = child->next) {
            if (child->type == XML_ELEMENT_NODE)
                pending.push_back(child);
        }
    }
}

struct ContextFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

_xmlDoc* ParseXml(const std::string& bytes, const std::string& name) {
    RegisterWindows1251Encoding();
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        throw XmlError(name + ": the document is too large");
    std::unique_ptr<xmlParserCtxt, ContextFree> ctxt(xmlNewParserCtxt());
    if (!ctxt)
        throw XmlError("Out of memory");
    ParseState state;
    ctxt->_private = &state;
    ctxt->sax->serror = OnError;
    ctxt->sax->internalSubset = OnInternalSubset;
    // No XML_PARSE_NOENT (entities stay unexpanded), no DTD loading, no
    // network; CDATA stays CDATA so that Normalize can tell it apart.
    // NOBLANKS only saves memory: it drops most layout text while parsing,
    // but not all, so Normalize still decides what is layout.
    const int options =
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(
        ctxt.get(), bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options));
    if (!state.failed && (!doc || !ctxt->wellFormed))
        Fail(&state, ctxt->input != nullptr ? ctxt->input->line : 0, "malformed document");
    if (state.failed)
        throw XmlError(name + ":" + std::to_string(state.line) + ": " + state.message);
    Normalize(doc.get());
    return doc.release();
}

}  // namespace platform
