// The legacy settings reader on arbitrary bytes.
#include "FuzzFolder.h"
#include "convert1_1to2_0/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("ini", data, size);
    SilentReporter reporter;
    TIniFile ini(FuzzFolder(), reporter);
    return 0;
}
