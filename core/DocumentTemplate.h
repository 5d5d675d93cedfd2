#pragma once

#include <string>

#include "platform/Status.h"
#include "platform/os/Env.h"

// The document a new journal starts from: 28 lines with "\n" line breaks and
// none after the closing tag (552 characters), with the default list entries
// from the string table.
std::string BuildDocumentTemplate();

// Writes the template as the file `name` of `folder` in text mode (each "\n"
// stored as CR LF, 579 bytes), replacing the file atomically.
platform::Status WriteDocumentTemplate(platform::Folder& folder, const std::string& name);
