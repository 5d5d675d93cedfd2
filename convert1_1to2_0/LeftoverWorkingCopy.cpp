#include "convert1_1to2_0/LeftoverWorkingCopy.h"

#include "convert1_1to2_0/DataFile.h"
#include "convert1_1to2_0/FileUtils.h"
#include "convert1_1to2_0/NumberedName.h"
#include "core/JournalFiles.h"
#include "platform/os/Env.h"

using journal_files::kInterruptedCopy;
using platform::Env;
using platform::FileKind;
using platform::Quoted;
using platform::ThrowIfFailed;

namespace {

// The plain text of a data file's bytes: the bytes themselves when they are
// plain, else what one of the passwords deciphers them to.
bool PlainTextOf(const std::string& bytes, const std::vector<std::string>& passwords,
                 std::string* plain) {
    if (LooksLikePlainJournal(bytes)) {
        *plain = bytes;
        return true;
    }
    for (const std::string& password : passwords) {
        CipherScheme scheme;
        if (DecipherText(bytes, password, LooksLikePlainJournal, plain, &scheme))
            return true;
    }
    return false;
}

}  // namespace

bool IsKeptWorkingCopyName(const std::string& name) {
    return IsNumberedName(name, kInterruptedCopy, "");
}

LeftoverResolution ResolveLeftoverWorkingCopy(const std::string& dataFile,
                                              const std::string& workingCopy,
                                              const std::vector<std::string>& passwords,
                                              platform::Reporter& reporter) {
    Env& env = Env::Current();
    LeftoverResolution result;
    FileKind kind;
    ThrowIfFailed(env.GetFileKind(workingCopy, &kind));
    if (kind == FileKind::kMissing)
        return result;
    if (kind != FileKind::kFile)
        throw platform::Error(platform::Status::Make(
            platform::StatusCode::kExists,
            Quoted(workingCopy) +
                " is in the way: it is not a file, and this program keeps a copy of the journal "
                "under that name; move it elsewhere",
            workingCopy));

    std::string copy, data;
    ThrowIfFailed(platform::ReadWholeFile(env, workingCopy, &copy));
    ThrowIfFailed(env.GetFileKind(dataFile, &kind));
    const bool haveData = kind == FileKind::kFile;
    if (haveData)
        ThrowIfFailed(platform::ReadWholeFile(env, dataFile, &data));

    // The copy goes, its ownership and permissions (the journal's as found)
    // passed on first: the interrupted run may have left the data file its
    // owner's alone.
    auto remove = [&](const char* why) {
        platform::FileOwnership ownership;
        ThrowIfFailed(env.GetOwnership(workingCopy, &ownership));
        ThrowIfFailed(env.SetOwnership(dataFile, ownership));
        ThrowIfFailed(env.RemoveFile(workingCopy));
        reporter.Note("removed " + Quoted(workingCopy) + ", left by an interrupted run: " + why);
        result.outcome = LeftoverOutcome::kRemoved;
        return result;
    };
    if (haveData && data == copy)
        return remove("the data file is the same");

    std::string plainCopy;
    if (!PlainTextOf(copy, passwords, &plainCopy)) {
        // Without the copy's text nothing can be proved. Only a data file
        // that another password opens is plainly another journal.
        std::string plainData;
        if (!haveData || LooksLikePlainJournal(data) || !PlainTextOf(data, passwords, &plainData)) {
            result.outcome = LeftoverOutcome::kWrongPassword;
            return result;
        }
    } else if (haveData) {
        if (LooksLikePlainJournal(data)) {
            if (data == plainCopy) {
                // Replaced in one step: the journal is never missing.
                ThrowIfFailed(env.RenameFile(workingCopy, dataFile));
                reporter.Warning(Quoted(dataFile) +
                                 " lay deciphered, left so by an interrupted run; its enciphered "
                                 "form " +
                                 Quoted(workingCopy) + " is put back in its place");
                result.outcome = LeftoverOutcome::kPutBack;
                return result;
            }
        } else {
            std::string plainData;
            if (PlainTextOf(data, passwords, &plainData) && plainData == plainCopy)
                return remove("the data file holds the same journal, enciphered again");
        }
    }

    result.keptAs = RenameToFirstFreeNumberedName(env, workingCopy, platform::FolderOf(workingCopy),
                                                  kInterruptedCopy, "");
    result.outcome = LeftoverOutcome::kKeptAside;
    reporter.Warning(Quoted(workingCopy) +
                     ", the journal as an interrupted run found it, is not the journal in " +
                     Quoted(dataFile) + "; it is kept as " + Quoted(result.keptAs) +
                     ". Copy it over " + Quoted(dataFile) + " if it is the journal you want.");
    return result;
}
