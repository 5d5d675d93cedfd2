#pragma once

// Texts crossing the Win32 wide-character API. Include after <windows.h>.

#include <string>

#include "platform/Status.h"

namespace platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16");

// UTF-8 texts to and from the API's UTF-16 (see Utf16.h for what cannot be
// converted).
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// A path as the wide API wants it. Any byte string survives (see
// PathText.h). A path too long for the plain API becomes an absolute one
// with the long-path prefix, which lifts the limit of 260 characters.
std::wstring WidePath(const std::string& path);

// A path the wide API gave, as the program's paths are (see PathText.h),
// without the long-path prefix.
std::string PathFromWide(const std::wstring& path);

// The system's own words for a Windows error code, without the line end and
// the closing full stop, e.g. "Access is denied".
std::string WindowsErrorText(unsigned long code);

// The kind of failure a Windows error code (GetLastError) stands for.
StatusCode StatusCodeOfWindowsError(unsigned long code);

// "<what> \"<path>\": <the system's words for `code`>", of the kind `code`
// stands for, carrying the code and the words.
Status WindowsError(const std::string& what, const std::string& path, unsigned long code);
// The same of the kind `kind`, for a code whose usual kind is not what it
// means at the caller.
Status WindowsError(StatusCode kind, const std::string& what, const std::string& path,
                    unsigned long code);

}  // namespace platform
