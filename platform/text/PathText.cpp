#include "platform/text/PathText.h"

#include "platform/text/Utf16.h"

namespace platform {
namespace {

// A byte that does not start valid UTF-8 travels as this lone surrogate.
constexpr char16_t kByteEscape = 0xDC00;

}  // namespace

std::u16string PathToWide(const std::string& path) {
    std::u16string wide;
    wide.reserve(path.size());
    size_t pos = 0;
    while (pos < path.size()) {
        const size_t start = pos;
        char32_t code = DecodeUtf8(path, &pos);
        // DecodeUtf8 gives U+FFFD for a bad byte; a real U+FFFD takes 3 bytes.
        if (code == 0xFFFD && pos - start == 1) {
            wide.push_back(
                static_cast<char16_t>(kByteEscape + static_cast<unsigned char>(path[start])));
        } else if (code >= 0x10000) {
            wide.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            wide.push_back(static_cast<char16_t>(code));
        }
    }
    return wide;
}

std::string WideToPath(const std::u16string& path) {
    std::string bytes;
    bytes.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        char32_t code = path[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 &&
            path[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            ++i;
        } else if (code >= kByteEscape + 0x80 && code <= kByteEscape + 0xFF) {
            bytes.push_back(static_cast<char>(code - kByteEscape));
            continue;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;  // no byte form; never made by PathToWide
        }
        AppendUtf8(code, &bytes);
    }
    return bytes;
}

}  // namespace platform
