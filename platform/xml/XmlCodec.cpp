#include "platform/xml/XmlCodec.h"

#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include "platform/text/Cp1251.h"
#include "platform/text/Utf16.h"

namespace platform {

char32_t XmlSafeChar(char32_t code) {
    if (code < 0x20)
        return (code == 0x09 || code == 0x0A || code == 0x0D) ? code : 0x2400 + code;
    if ((code >= 0xD800 && code <= 0xDFFF) || code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF)
        return 0xFFFD;
    return code;
}

std::string ToXmlUtf8(std::u16string_view text) {
    std::string utf8;
    utf8.reserve(text.size() + text.size() / 2);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(XmlSafeChar(code), &utf8);
    }
    return utf8;
}

namespace {

void AppendReference(char32_t code, std::string* out) {
    out->append("&#");
    out->append(std::to_string(static_cast<unsigned long>(code)));
    out->push_back(';');
}

// The byte for `code` in the encoding, or -1 when it has none.
int EncodeByte(char32_t code, XmlOutputEncoding encoding) {
    if (code < 0x80)
        return static_cast<int>(code);
    return encoding == XmlOutputEncoding::kWindows1251 ? NarrowCp1251(code) : -1;
}

}  // namespace

void AppendEscaped(std::string_view utf8, XmlOutputEncoding encoding, bool attribute,
                   std::string* out) {
    size_t pos = 0;
    while (pos < utf8.size()) {
        const size_t start = pos;
        const char32_t code = XmlSafeChar(DecodeUtf8(utf8, &pos));
        switch (code) {
            case '&':
                out->append("&amp;");
                continue;
            case '<':
                out->append("&lt;");
                continue;
            case '>':
                out->append("&gt;");
                continue;
            case '\r':
                out->append("&#13;");
                continue;
            case '"':
                if (attribute) {
                    out->append("&quot;");
                    continue;
                }
                break;
            case '\t':
            case '\n':
                if (attribute) {
                    AppendReference(code, out);
                    continue;
                }
                break;
            default:
                break;
        }
        if (code < 0x80) {
            out->push_back(static_cast<char>(code));
        } else if (encoding == XmlOutputEncoding::kUtf8) {
            if (code == 0xFFFD && pos - start != 3) {
                AppendUtf8(code, out);  // a malformed byte in the tree: never copy it out
            } else {
                out->append(utf8.substr(start, pos - start));
            }
        } else {
            const int byte = EncodeByte(code, encoding);
            if (byte >= 0) {
                out->push_back(static_cast<char>(byte));
            } else {
                AppendReference(code, out);
            }
        }
    }
}

bool AppendRaw(std::string_view utf8, XmlOutputEncoding encoding, std::string* out) {
    size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t code = XmlSafeChar(DecodeUtf8(utf8, &pos));
        if (encoding == XmlOutputEncoding::kUtf8) {
            AppendUtf8(code, out);
            continue;
        }
        const int byte = EncodeByte(code, encoding);
        if (byte < 0)
            return false;
        out->push_back(static_cast<char>(byte));
    }
    return true;
}

int Windows1251ToUtf8(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    int read = 0;
    int written = 0;
    while (read < *inlen) {
        // Most of a document is markup and Latin: ASCII stays as it is.
        const char16_t code = in[read] < 0x80 ? in[read] : WidenCp1251(in[read]);
        if (code < 0x80) {
            if (written + 1 > *outlen)
                break;
            out[written++] = static_cast<unsigned char>(code);
        } else if (code < 0x800) {
            if (written + 2 > *outlen)
                break;
            out[written++] = static_cast<unsigned char>(0xC0 | (code >> 6));
            out[written++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        } else {
            if (written + 3 > *outlen)
                break;
            out[written++] = static_cast<unsigned char>(0xE0 | (code >> 12));
            out[written++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            out[written++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        }
        ++read;
    }
    *inlen = read;
    *outlen = written;
    return written;
}

int Utf8ToWindows1251(unsigned char* out, int* outlen, const unsigned char* in, int* inlen) {
    const std::string_view utf8(reinterpret_cast<const char*>(in), static_cast<size_t>(*inlen));
    size_t read = 0;
    int written = 0;
    int result = 0;
    while (read < utf8.size() && written < *outlen) {
        const unsigned char lead = static_cast<unsigned char>(utf8[read]);
        const size_t need = lead < 0x80             ? 1
                            : (lead & 0xE0) == 0xC0 ? 2
                            : (lead & 0xF0) == 0xE0 ? 3
                                                    : 4;
        if (read + need > utf8.size())
            break;  // the rest of the character comes next call
        size_t next = read;
        const char32_t code = DecodeUtf8(utf8, &next);
        const int byte = NarrowCp1251(code);
        if (byte < 0) {
            result = -2;
            break;
        }
        out[written++] = static_cast<unsigned char>(byte);
        read = next;
    }
    *inlen = static_cast<int>(read);
    *outlen = written;
    return result < 0 ? result : written;
}

namespace {
// libxml2 prints some errors (the encoders' among them) straight to standard
// error. Every error that matters reaches our parse and save code and is
// reported there, once, naming the file; the printed copies only add noise.
void IgnoreGenericError(void*, const char*, ...) {}
}  // namespace

void RegisterWindows1251Encoding() {
    static const bool registered = [] {
        xmlInitParser();
        xmlSetGenericErrorFunc(nullptr, IgnoreGenericError);
        // xmlNewCharEncodingHandler registers the handler itself.
        return xmlNewCharEncodingHandler("Windows-1251", Windows1251ToUtf8, Utf8ToWindows1251) !=
               nullptr;
    }();
    (void)registered;
}

}  // namespace platform
