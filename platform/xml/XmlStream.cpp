#include "platform/xml/XmlStream.h"

#include <libxml/xmlreader.h>

#include <climits>

#include "platform/xml/XmlCodec.h"
#include "platform/xml/XmlVariant.h"

namespace platform {
namespace {

std::string_view View(const xmlChar* text) {
    return text == nullptr ? std::string_view()
                           : std::string_view(reinterpret_cast<const char*>(text));
}

}  // namespace

struct XmlStream::Reader {
    xmlTextReaderPtr reader = nullptr;
    // The parser's first complaint, with its line.
    std::string error;
    int errorLine = 0;
    ~Reader() {
        if (reader != nullptr)
            xmlFreeTextReader(reader);
    }
};

void XmlStream::OnError(void* context, _xmlError* error) {
    auto* reader = static_cast<Reader*>(context);
    if (error == nullptr || !reader->error.empty())
        return;
    std::string message = error->message != nullptr ? error->message : "malformed document";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    reader->error = message;
    reader->errorLine = error->line;
}

XmlStream::XmlStream(const std::string& bytes, std::string name)
    : reader_(new Reader), documentName_(std::move(name)) {
    RegisterWindows1251Encoding();
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        throw XmlError(documentName_ + ": the document is too large");
    // No entity substitution, no DTD loading, no network. A text may be as
    // long as a journal's record (the legacy format sets no limit), so the
    // parser's cap on the length of one text is lifted; with no entities to
    // expand, that opens no way to make the parser work without end.
    reader_->reader = xmlReaderForMemory(
        bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (reader_->reader == nullptr)
        throw XmlError("Out of memory");
    xmlTextReaderSetStructuredErrorHandler(reader_->reader, OnError, reader_.get());
}

XmlStream::~XmlStream() = default;

void XmlStream::Fail(const std::string& message) {
    const int line = reader_->errorLine > 0 ? reader_->errorLine
                                            : xmlTextReaderGetParserLineNumber(reader_->reader);
    throw XmlError(documentName_ + ":" + std::to_string(line) + ": " + message);
}

bool XmlStream::Next() {
    if (endPending_) {
        endPending_ = false;
        node_ = Node::kEnd;
        return true;
    }
    xmlTextReaderPtr reader = reader_->reader;
    for (;;) {
        const int read = xmlTextReaderRead(reader);
        if (read < 0 || !reader_->error.empty())
            Fail(reader_->error.empty() ? "malformed document" : reader_->error);
        if (read == 0)
            return false;
        switch (xmlTextReaderNodeType(reader)) {
            case XML_READER_TYPE_ELEMENT:
                node_ = Node::kStart;
                name_ = View(xmlTextReaderConstName(reader));
                endPending_ = xmlTextReaderIsEmptyElement(reader) == 1;
                return true;
            case XML_READER_TYPE_END_ELEMENT:
                node_ = Node::kEnd;
                name_ = View(xmlTextReaderConstName(reader));
                return true;
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA:
                node_ = Node::kText;
                text_ = View(xmlTextReaderConstValue(reader));
                return true;
            case XML_READER_TYPE_DOCUMENT_TYPE:
                Fail("a document type declaration is not allowed");
            case XML_READER_TYPE_ENTITY_REFERENCE:
            case XML_READER_TYPE_ENTITY:
                Fail("an entity reference is not allowed");
            default:
                continue;  // layout whitespace, comments, processing instructions
        }
    }
}

}  // namespace platform
