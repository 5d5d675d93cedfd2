#include "core/JournalFiles.h"

#include "platform/os/Env.h"

namespace journal_files {

bool IsTemporaryName(const std::string& name) {
    // The files beside which the converter makes its temporary files.
    static const std::string kBases[] = {
        kDataFile,       std::string(kDataFile) + kCipherTempSuffix,
        kWorkingCopy,    kNewestBackup,
        kOlderBackup,    kDocument,
        kLegacySettings, kSettings,
    };
    for (const std::string& base : kBases) {
        if (platform::IsTempNameFor(name, base))
            return true;
    }
    return false;
}

}  // namespace journal_files
