// Deciphering arbitrary bytes with an arbitrary password under every scheme.
// The first byte gives the password's length. A file that deciphers must
// encipher back, under the scheme that opened it, to the very same bytes;
// one that does not must be left as it was.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "FuzzFolder.h"
#include "convert1_1to2_0/FileUtils.h"

namespace {
std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t passwordLength = std::min<size_t>(data[0], size - 1);
    const std::string password(reinterpret_cast<const char*>(data + 1), passwordLength);
    const std::string original(reinterpret_cast<const char*>(data + 1 + passwordLength),
                               size - 1 - passwordLength);
    WriteFuzzFile("data", reinterpret_cast<const uint8_t*>(original.data()), original.size());
    const std::string path = FuzzFolder() + "/data";
    CipherScheme scheme = CipherScheme::kCurrent;
    if (DecryptFile(
            path, password, [](const std::string&) { return true; }, &scheme)) {
        if (!EncryptFile(path, password, scheme) || Contents(path) != original)
            std::abort();
    } else if (Contents(path) != original) {
        std::abort();
    }
    return 0;
}
