#pragma once

#include <string>
#include <string_view>

namespace platform {

// Windows-1251, the code page of every 8-bit text of the journal (legacy data
// file, document on disk). One table serves the legacy side and the XML layer.

char16_t WidenCp1251(unsigned char byte);
std::u16string WidenCp1251(std::string_view text);

// The byte that stands for `code`, or -1 when Windows-1251 has none. U+0098
// reads from byte 0x98 but is never written as that byte.
int NarrowCp1251(char32_t code);

// Converts valid UTF-8 whose every character Windows-1251 can hold. False
// (and `narrow` unspecified) otherwise.
bool Utf8ToCp1251(std::string_view utf8, std::string* narrow);

}  // namespace platform
