// The settings file on arbitrary bytes: loaded, then written back.
#include "FuzzFolder.h"
#include "core/ini.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("ini.txt", data, size);
    SilentReporter reporter;
    { TIni ini(FuzzFolder(), reporter); }
    return 0;
}
