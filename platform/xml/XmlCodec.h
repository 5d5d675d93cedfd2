#pragma once

// Character handling of the XML layer: what a text may hold, how it is
// escaped on the way out, and the Windows-1251 converter the parser uses.

#include <string>
#include <string_view>

namespace platform {

// XML 1.0 cannot hold the C0 control characters other than tab, LF and CR,
// nor U+FFFE, U+FFFF or a lone surrogate. A control character is replaced by
// its visible picture, U+2400 + code (U+0001 -> U+2401), so the reader still
// sees which one stood there; the others become U+FFFD. The rest of the text
// is kept, never the whole text dropped.
char32_t XmlSafeChar(char32_t code);
// UTF-16 to the UTF-8 the tree holds, with the replacements above.
std::string ToXmlUtf8(std::u16string_view text);

enum class XmlOutputEncoding { kWindows1251, kUtf8 };

// Appends `utf8` as character data in the output encoding: "&", "<" and ">"
// as entities, CR as "&#13;" (so a CR LF survives end-of-line handling), a
// character the encoding cannot hold (and U+0098, whose byte other readers
// reject) as a decimal character reference. With `attribute`, also '"', tab
// and LF as references.
void AppendEscaped(std::string_view utf8, XmlOutputEncoding encoding, bool attribute,
                   std::string* out);
// Appends `utf8` where references are not allowed (comments, names, ...):
// true, or false when a character cannot be written in the encoding.
bool AppendRaw(std::string_view utf8, XmlOutputEncoding encoding, std::string* out);

// The parser's converter for Windows-1251, registered with libxml2 once per
// process (registering twice breaks libxml2's clean-up).
void RegisterWindows1251Encoding();

// The converter's two directions, in libxml2's calling convention: convert as
// much of `in` as fits in `out`; on return *inlen and *outlen hold the bytes
// consumed and produced. The result is *outlen, or -2 when the output side
// meets a character Windows-1251 cannot hold (consumed up to it).
int Windows1251ToUtf8(unsigned char* out, int* outlen, const unsigned char* in, int* inlen);
int Utf8ToWindows1251(unsigned char* out, int* outlen, const unsigned char* in, int* inlen);

}  // namespace platform
