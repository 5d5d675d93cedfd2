#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows-1251, the encoding the journal document declares: the XML layer's
// codec reads and writes the document's bytes with it. The legacy data file's
// texts widen through the code page the user names (CodePage.h) instead.

char16_t WidenCp1251(unsigned char byte);
std::u16string WidenCp1251(std::string_view text);

// The byte that stands for `code`, or -1 when Windows-1251 has none. U+0098
// reads from byte 0x98 but is never written as that byte.
int NarrowCp1251(char32_t code);

}  // namespace platform
