#pragma once

#include <string>

namespace platform {

// Paths cross the program's interfaces as UTF-16; the file system wants bytes.
// Here the bytes are taken as UTF-8, but a file name may hold any byte
// string, so a byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC00 + byte and turns back into that byte: any path survives
// the round trip.
std::u16string PathToWide(const std::string& path);
std::string WideToPath(const std::u16string& path);

}  // namespace platform
