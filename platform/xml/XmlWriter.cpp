#include "platform/xml/XmlWriter.h"

#include <libxml/tree.h>

#include <cstring>

#include "platform/text/Utf16.h"
#include "platform/xml/XmlVariant.h"

namespace platform {
namespace {

const char kLineEnd[] = "\r\n";

class Writer {
  public:
    Writer(XmlOutputEncoding encoding, std::string* out) : encoding_(encoding), out_(out) {}

    void Node(const xmlNode* node, int depth, bool layout) {
        switch (node->type) {
            case XML_ELEMENT_NODE:
                Element(node, depth, layout);
                break;
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                Text(Content(node));
                break;
            case XML_COMMENT_NODE:
                Indent(depth, layout);
                out_->append("<!--");
                Raw(Content(node), "?");
                out_->append("-->");
                EndLine(layout);
                break;
            case XML_PI_NODE:
                Indent(depth, layout);
                out_->append("<?");
                Name(node);
                if (!Content(node).empty()) {
                    out_->push_back(' ');
                    Raw(Content(node), "?");
                }
                out_->append("?>");
                EndLine(layout);
                break;
            default:
                break;  // the reader makes no other kind of node
        }
    }

  private:
    static std::string_view Content(const xmlNode* node) {
        return node->content != nullptr ? reinterpret_cast<const char*>(node->content) : "";
    }

    static bool IsBlank(std::string_view text) {
        return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
    }

    void Indent(int depth, bool layout) {
        if (layout)
            out_->append(static_cast<size_t>(depth), '\t');
    }
    void EndLine(bool layout) {
        if (layout)
            out_->append(kLineEnd);
    }

    // Characters that cannot be escaped (comment text): `replacement` stands in.
    void Raw(std::string_view utf8, const char* replacement) {
        size_t pos = 0;
        while (pos < utf8.size()) {
            const size_t start = pos;
            DecodeUtf8(utf8, &pos);
            if (!AppendRaw(utf8.substr(start, pos - start), encoding_, out_))
                out_->append(replacement);
        }
    }

    void Name(const xmlNode* node) {
        std::string name;
        if (node->type == XML_ELEMENT_NODE && node->ns != nullptr && node->ns->prefix != nullptr) {
            name = reinterpret_cast<const char*>(node->ns->prefix);
            name.push_back(':');
        }
        name += reinterpret_cast<const char*>(node->name);
        if (!AppendRaw(name, encoding_, out_))
            throw XmlError("The element name \"" + name + "\" cannot be written in " +
                           (encoding_ == XmlOutputEncoding::kUtf8 ? "UTF-8" : "Windows-1251"));
    }

    void Text(std::string_view text) {
        if (text.empty() || !IsBlank(text)) {
            AppendEscaped(text, encoding_, false, out_);
            return;
        }
        // Whitespace-only text would read back as layout; CDATA keeps it. A CR
        // cannot stand in CDATA (end-of-line handling eats it), so it goes
        // between sections as a reference.
        out_->append("<![CDATA[");
        for (char c : text) {
            if (c == '\r') {
                out_->append("]]>&#13;<![CDATA[");
            } else {
                out_->push_back(c);
            }
        }
        out_->append("]]>");
    }

    void Attributes(const xmlNode* node) {
        for (const xmlNs* ns = node->nsDef; ns != nullptr; ns = ns->next) {
            out_->append(" xmlns");
            if (ns->prefix != nullptr) {
                out_->push_back(':');
                Raw(reinterpret_cast<const char*>(ns->prefix), "_");
            }
            out_->append("=\"");
            AppendEscaped(ns->href != nullptr ? reinterpret_cast<const char*>(ns->href) : "",
                          encoding_, true, out_);
            out_->push_back('"');
        }
        for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
            out_->push_back(' ');
            if (attr->ns != nullptr && attr->ns->prefix != nullptr) {
                Raw(reinterpret_cast<const char*>(attr->ns->prefix), "_");
                out_->push_back(':');
            }
            Raw(reinterpret_cast<const char*>(attr->name), "_");
            out_->append("=\"");
            for (const xmlNode* part = attr->children; part != nullptr; part = part->next)
                AppendEscaped(Content(part), encoding_, true, out_);
            out_->push_back('"');
        }
    }

    void Element(const xmlNode* node, int depth, bool layout) {
        Indent(depth, layout);
        out_->push_back('<');
        Name(node);
        Attributes(node);
        if (node->children == nullptr) {
            out_->append("/>");
            EndLine(layout);
            return;
        }
        out_->push_back('>');
        // Layout whitespace may stand only where no text is: an element with
        // any text child is written inline, children and all.
        bool holdsText = false;
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
            holdsText =
                holdsText || child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE;
        const bool childLayout = layout && !holdsText;
        if (childLayout)
            out_->append(kLineEnd);
        for (const xmlNode* child = node->children; child != nullptr; child = child->next)
            Node(child, depth + 1, childLayout);
        if (childLayout)
            Indent(depth, layout);
        out_->append("</");
        Name(node);
        out_->push_back('>');
        EndLine(layout);
    }

    XmlOutputEncoding encoding_;
    std::string* out_;
};

}  // namespace

std::string WriteXml(_xmlDoc* doc, XmlOutputEncoding encoding) {
    std::string out;
    out.append("<?xml version=\"1.0\" encoding=\"");
    out.append(encoding == XmlOutputEncoding::kUtf8 ? "UTF-8" : "Windows-1251");
    out.append("\"?>");
    out.append(kLineEnd);
    Writer writer(encoding, &out);
    for (const xmlNode* node = doc->children; node != nullptr; node = node->next)
        writer.Node(node, 0, true);
    return out;
}

}  // namespace platform
