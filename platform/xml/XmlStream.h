#pragma once

#include <memory>
#include <string>
#include <string_view>

struct _xmlError;

namespace platform {

// Reads a whole document held in memory from its start to its end, one tag
// or text at a time, without building a tree: for reading a large document
// back only to look at it. The same document rules as ParseXml: no network,
// no DTD, no entity references; whitespace-only text between elements is
// layout and skipped, text written as CDATA is text.
class XmlStream {
  public:
    enum class Node { kStart, kEnd, kText };

    // `name` is what error messages call the document.
    XmlStream(const std::string& bytes, std::string name);
    ~XmlStream();
    XmlStream(const XmlStream&) = delete;
    XmlStream& operator=(const XmlStream&) = delete;

    // Moves to the next start tag, end tag or text; false at the end of the
    // document. An empty element (<a/>) gives its start and its end. Throws
    // XmlError "<name>:<line>: <message>" for a document that is not well
    // formed or breaks the rules above.
    bool Next();

    Node node() const { return node_; }
    // The element's name, for a start or an end tag.
    std::string_view name() const { return name_; }
    // The characters, as UTF-8, for a text.
    std::string_view text() const { return text_; }

  private:
    struct Reader;
    static void OnError(void* context, _xmlError* error);
    [[noreturn]] void Fail(const std::string& message);

    std::unique_ptr<Reader> reader_;
    std::string documentName_;
    Node node_ = Node::kStart;
    std::string_view name_;
    std::string_view text_;
    bool endPending_ = false;  // an empty element's end is still to come
};

}  // namespace platform
