#include <windows.h>

#include "platform/os/windows/WindowsText.h"

#include "platform/os/windows/UniqueHandle.h"

#include "platform/text/PathText.h"
#include "platform/text/Utf16.h"

namespace platform {
namespace {

// Below this length every path works without the prefix; the limit for a
// folder to be created is MAX_PATH minus room for an 8.3 file name.
constexpr size_t kPlainPathLimit = MAX_PATH - 12;

std::wstring AsWide(const std::u16string& text) {
    return std::wstring(text.begin(), text.end());
}

// "\\?\" (long path) or "\\.\" (device): the API takes them as they are.
bool IsVerbatim(const std::wstring& path) {
    return path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0;
}

}  // namespace

std::wstring Widen(const std::string& utf8) {
    return AsWide(Utf8ToUtf16(utf8));
}

std::string Narrow(const std::wstring& wide) {
    return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

std::wstring WidePath(const std::string& path) {
    std::wstring wide = AsWide(PathToWide(path));
    if (wide.size() < kPlainPathLimit || IsVerbatim(wide))
        return wide;
    // The prefix turns off the API's own clean-up of the path ("/" as
    // separator, "." and ".." components), so that is done here first.
    std::wstring full(wide.size() + MAX_PATH, L'\0');
    for (;;) {
        DWORD n =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (n == 0)
            return wide;  // the plain API will report what is wrong with it
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    if (full.compare(0, 2, L"\\\\") == 0)  // \\server\share\... -> \\?\UNC\server\share\...
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string PathFromWide(const std::wstring& path) {
    std::wstring plain = path;
    if (plain.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        plain = L"\\\\" + plain.substr(8);
    else if (plain.compare(0, 4, L"\\\\?\\") == 0)
        plain = plain.substr(4);
    return WideToPath(std::u16string(plain.begin(), plain.end()));
}

std::string WindowsErrorText(unsigned long code) {
    LocalMemory buffer;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.out()), 0, nullptr);
    std::wstring text;
    if (n != 0 && buffer.valid())
        text.assign(static_cast<const wchar_t*>(buffer.get()), n);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty())
        return "Windows error " + std::to_string(code);
    return Narrow(text);
}

StatusCode StatusCodeOfWindowsError(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return StatusCode::kNotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
        case ERROR_DIR_NOT_EMPTY:
            return StatusCode::kExists;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return StatusCode::kBusy;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
        case ERROR_CALL_NOT_IMPLEMENTED:
            return StatusCode::kNotSupported;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return StatusCode::kPermission;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return StatusCode::kNoSpace;
        default:
            return StatusCode::kIoError;
    }
}

Status WindowsError(const std::string& what, const std::string& path, unsigned long code) {
    return WindowsError(StatusCodeOfWindowsError(code), what, path, code);
}

Status WindowsError(StatusCode kind, const std::string& what, const std::string& path,
                    unsigned long code) {
    const std::string text = WindowsErrorText(code);
    return Status::Make(kind, what + " " + Quoted(path) + ": " + text, path,
                        static_cast<long>(code), text);
}

}  // namespace platform
