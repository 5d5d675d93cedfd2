#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The Windows single-byte code pages a legacy journal may have been written
// in: 874 and 1250 to 1258.
const std::vector<int>& SupportedCodePages();
bool IsSupportedCodePage(int codePage);
// The same as the user reads them: "874, 1250, 1251, ...".
std::string SupportedCodePageList();
// What a supported code page was made for, as Windows names it: "Cyrillic",
// "Western European", ...; empty for any other.
std::string CodePageName(int codePage);

// The conversions below take a supported code page and throw
// std::invalid_argument for any other.

// Widens 8-bit text of `codePage` to UTF-16, one character per byte, exactly
// as Windows' MultiByteToWideChar does: a byte the code page leaves undefined
// widens to the character Windows gives it (the character of the same number,
// 0x81 -> U+0081, or a private-use one, 874: 0xDB -> U+F8C1), so every byte of
// the text can be told from its result.
std::u16string WidenCodePage(std::string_view text, int codePage);

// Converts valid UTF-8 whose every character `codePage` can hold (a byte's
// widening, undefined bytes included, narrows back to that byte). False, and
// `narrow` unspecified, otherwise.
bool Utf8ToCodePage(std::string_view utf8, int codePage, std::string* narrow);

}  // namespace platform
