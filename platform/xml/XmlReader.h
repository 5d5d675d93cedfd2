#pragma once

#include <string>

struct _xmlDoc;

namespace platform {

// Parses a whole document held in memory. No network, no DTD, no entity
// expansion: a document with a document type declaration is refused. After
// parsing, whitespace-only text between elements is dropped (layout, not
// data) while whitespace written as CDATA is kept, as the writer marks it.
// Throws XmlError "<name>:<line>: <message>"; the caller owns the result.
_xmlDoc* ParseXml(const std::string& bytes, const std::string& name);

}  // namespace platform
