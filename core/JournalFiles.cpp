#include "core/JournalFiles.h"

namespace journal_files {

const platform::TempNameForm kTemporaryForm{".", ".cnv-", ".tmp"};

namespace {

// A name of `form` made beside one of the files the converter makes its
// temporary files beside.
bool IsTemporaryNameOfForm(const std::string& name, const platform::TempNameForm& form) {
    static const std::string kBases[] = {
        kDataFile,       std::string(kDataFile) + kCipherTempSuffix,
        kWorkingCopy,    kNewestBackup,
        kOlderBackup,    kDocument,
        kLegacySettings, kSettings,
    };
    for (const std::string& base : kBases) {
        if (form.Matches(name, base))
            return true;
    }
    return false;
}

}  // namespace

bool IsTemporaryName(const std::string& name) {
    return IsTemporaryNameOfForm(name, kTemporaryForm);
}

bool IsEarlierTemporaryName(const std::string& name) {
    return IsTemporaryNameOfForm(name, platform::TempNameForm{"", ".", ".tmp"});
}

}  // namespace journal_files
