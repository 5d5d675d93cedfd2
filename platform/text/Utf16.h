#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 <-> UTF-16 for texts (not paths: see PathText.h). Neither direction
// fails: a malformed UTF-8 sequence reads as U+FFFD, and a lone surrogate,
// which UTF-8 cannot hold, is written as U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Decodes one character at `*pos` and advances past it; a malformed sequence
// yields U+FFFD and advances by one byte.
char32_t DecodeUtf8(std::string_view utf8, size_t* pos);
void AppendUtf8(char32_t code, std::string* out);

}  // namespace platform
