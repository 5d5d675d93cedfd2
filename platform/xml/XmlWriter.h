#pragma once

#include <string>

#include "platform/xml/XmlCodec.h"

struct _xmlDoc;

namespace platform {

// The document as the journal stores it: the declaration naming the
// encoding, CR LF, then one element per line indented with tabs, CR LF line
// ends. An element holding text is written on one line with its text as it
// stands, so the layout adds no character to any text. Whitespace-only text
// goes out as CDATA, which the reader keeps. Throws XmlError for a name that
// the encoding cannot hold.
std::string WriteXml(_xmlDoc* doc, XmlOutputEncoding encoding);

}  // namespace platform
