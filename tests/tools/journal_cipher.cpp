// The program's own file cipher on the command line, so that a script can
// hold what two builds make of the same file side by side:
//   journal_cipher encipher FILE PASSWORD_HEX current|base|early
//   journal_cipher decipher FILE PASSWORD_HEX
// The file is changed in place. The password is given in hex, byte for byte,
// so that no code page of any command line can change it. Deciphering prints
// the scheme that opened the file. Exit status: 0 done, 1 the password does
// not open the file, 2 anything else.
#include <exception>
#include <iostream>
#include <string>

#include "convert1_1to2_0/FileUtils.h"

namespace {

const char* const kSchemeNames[] = {"current", "base", "early"};
const CipherScheme kSchemes[] = {CipherScheme::kCurrent, CipherScheme::kBase, CipherScheme::kEarly};

bool FromHex(const std::string& hex, std::string* bytes) {
    if (hex.size() % 2 != 0)
        return false;
    bytes->clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const std::string pair = hex.substr(i, 2);
        if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        bytes->push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    }
    return true;
}

int Usage() {
    std::cerr << "usage: journal_cipher encipher FILE PASSWORD_HEX current|base|early\n"
                 "       journal_cipher decipher FILE PASSWORD_HEX\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string action = argc > 1 ? argv[1] : "";
    std::string password;
    if (argc < 4 || !FromHex(argv[3], &password))
        return Usage();
    const std::string file = argv[2];
    try {
        if (action == "encipher" && argc == 5) {
            for (int i = 0; i < 3; ++i) {
                if (argv[4] == std::string(kSchemeNames[i]))
                    return EncryptFile(file, password, kSchemes[i]) ? 0 : 2;
            }
            return Usage();
        }
        if (action == "decipher" && argc == 4) {
            CipherScheme opened = CipherScheme::kCurrent;
            if (!DecryptFile(file, password, nullptr, &opened))
                return 1;
            for (int i = 0; i < 3; ++i) {
                if (kSchemes[i] == opened)
                    std::cout << kSchemeNames[i] << "\n";
            }
            return 0;
        }
    } catch (const std::exception& error) {
        std::cerr << "journal_cipher: " << error.what() << "\n";
        return 2;
    }
    return Usage();
}
