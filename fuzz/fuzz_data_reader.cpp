// The legacy data reader on arbitrary bytes, as a plain journal opened with
// the empty password, and the code-page judgement over the texts it reads.
// Whatever it reads, it must not crash, and dropping the store without
// closing it must put the data file back byte for byte.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "FuzzFolder.h"
#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/DreamBase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteFuzzFile("data", data, size);
    try {
        SilentReporter reporter;
        std::unique_ptr<TDreamBase> base;
        if (TDreamBase::Open(FuzzFolderFiles(), TDreamBase::Options(), reporter, &base).ok()) {
            for (int i = 0; i < base->RecordCount(); ++i)
                (void)base->GetRecord(i).text.size();
            (void)base->GetPlaces();
            CodePageJudgement judgement(base->Texts());
            for (int page : {1251, 1252, 874})
                (void)judgement.BetterPage(page);
            for (std::string_view text : base->Texts())
                (void)FindOddWord(text, 1258);
            base->BeginChanges();
        }
    } catch (const std::exception&) {
        // malformed journals are reported, not read
    }
    std::ifstream in(FuzzFolder() + "/data", std::ios::binary);
    std::stringstream back;
    back << in.rdbuf();
    if (back.str() != std::string(reinterpret_cast<const char*>(data), size))
        std::abort();
    return 0;
}
