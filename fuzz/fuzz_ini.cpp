// The settings file on arbitrary bytes: loaded, then written back.
#include <iostream>

#include "FuzzFolder.h"
#include "core/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        std::cerr.setstate(std::ios::failbit);
        return true;
    }();
    (void)quiet;
    WriteFuzzFile("ini.txt", data, size);
    { TIni ini(FuzzFolder()); }
    return 0;
}
