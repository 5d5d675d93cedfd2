#include "convert1_1to2_0/LeftoverWorkingCopy.h"

#include "convert1_1to2_0/DataFile.h"
#include "convert1_1to2_0/FileUtils.h"
#include "convert1_1to2_0/NumberedName.h"
#include "core/JournalFiles.h"
#include "platform/os/Env.h"

using journal_files::kInterruptedCopy;
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

LeftoverResolution PlanLeftoverWorkingCopy(platform::Folder& folder, const std::string& dataFile,
                                           const std::string& workingCopy,
                                           const std::vector<std::string>& passwords) {
    LeftoverResolution plan;
    FileKind kind;
    ThrowIfFailed(folder.GetFileKind(workingCopy, &kind));
    if (kind == FileKind::kMissing)
        return plan;
    if (kind != FileKind::kFile)
        throw platform::Error(platform::Status::Make(
            platform::StatusCode::kExists,
            Quoted(folder.PathOf(workingCopy)) +
                " is in the way: it is not a file, and this program keeps a copy of the journal "
                "under that name; move it elsewhere",
            folder.PathOf(workingCopy)));

    std::string copy, data;
    ThrowIfFailed(platform::ReadWholeFile(folder, workingCopy, &copy));
    ThrowIfFailed(folder.GetFileKind(dataFile, &kind));
    const bool haveData = kind == FileKind::kFile;
    if (haveData)
        ThrowIfFailed(platform::ReadWholeFile(folder, dataFile, &data));

    auto decide = [&plan](LeftoverOutcome outcome, const char* why) {
        plan.outcome = outcome;
        plan.why = why;
        return plan;
    };
    if (haveData && data == copy)
        return decide(LeftoverOutcome::kRemoved, "the data file is the same");

    std::string plainCopy;
    if (!PlainTextOf(copy, passwords, &plainCopy)) {
        // Without the copy's text nothing can be proved. Only a data file
        // that another password opens is plainly another journal.
        std::string plainData;
        if (!haveData || LooksLikePlainJournal(data) || !PlainTextOf(data, passwords, &plainData))
            return decide(LeftoverOutcome::kWrongPassword, "");
    } else if (haveData) {
        if (LooksLikePlainJournal(data)) {
            if (data == plainCopy)
                return decide(LeftoverOutcome::kPutBack,
                              "the data file lies deciphered, and this is its enciphered form");
        } else {
            std::string plainData;
            const bool opened = PlainTextOf(data, passwords, &plainData);
            if (opened && plainData == plainCopy)
                return decide(LeftoverOutcome::kRemoved,
                              "the data file holds the same journal, enciphered again");
            if (!opened && !data.empty()) {
                // The run could not open the data file after this, and would
                // end as a wrong password having changed the folder.
                plan.outcome = LeftoverOutcome::kWrongPassword;
                plan.why = Quoted(folder.PathOf(workingCopy)) +
                           ", the journal as an interrupted run found it, can be read, but the "
                           "data file " +
                           Quoted(folder.PathOf(dataFile)) +
                           " does not open with the password given: it has another password, "
                           "or is damaged. Nothing was changed; if it is damaged, copy " +
                           Quoted(folder.PathOf(workingCopy)) + " over it.";
                return plan;
            }
        }
    }
    plan.keptAs = FirstFreeNumberedName(folder, kInterruptedCopy, "");
    return decide(LeftoverOutcome::kKeptAside, "it is not the journal in the data file");
}

LeftoverResolution ResolveLeftoverWorkingCopy(platform::Folder& folder, const std::string& dataFile,
                                              const std::string& workingCopy,
                                              const std::vector<std::string>& passwords,
                                              platform::Reporter& reporter) {
    LeftoverResolution result = PlanLeftoverWorkingCopy(folder, dataFile, workingCopy, passwords);
    switch (result.outcome) {
        case LeftoverOutcome::kNone:
        case LeftoverOutcome::kWrongPassword:
            break;
        case LeftoverOutcome::kRemoved: {
            // The copy goes, its ownership and permissions (the journal's as
            // found) passed on first: the interrupted run may have left the
            // data file its owner's alone.
            platform::FileOwnership ownership;
            ThrowIfFailed(folder.GetOwnership(workingCopy, &ownership));
            ThrowIfFailed(platform::KeepOwnership(folder, dataFile, ownership));
            ThrowIfFailed(folder.RemoveFile(workingCopy));
            reporter.Note("removed " + Quoted(folder.PathOf(workingCopy)) +
                          ", left by an interrupted run: " + result.why);
            break;
        }
        case LeftoverOutcome::kPutBack:
            // Replaced in one step: the journal is never missing.
            ThrowIfFailed(folder.RenameFile(workingCopy, dataFile));
            reporter.Warning(Quoted(folder.PathOf(dataFile)) +
                             " lay deciphered, left so by an interrupted run; its enciphered "
                             "form " +
                             Quoted(folder.PathOf(workingCopy)) + " is put back in its place");
            break;
        case LeftoverOutcome::kKeptAside:
            // Never over anything: the name planned may have been taken since.
            result.keptAs =
                RenameToFirstFreeNumberedName(folder, workingCopy, kInterruptedCopy, "");
            reporter.Warning(Quoted(folder.PathOf(workingCopy)) +
                             ", the journal as an interrupted run found it, is not the journal "
                             "in " +
                             Quoted(folder.PathOf(dataFile)) + "; it is kept as " +
                             Quoted(folder.PathOf(result.keptAs)) + ". Copy it over " +
                             Quoted(folder.PathOf(dataFile)) + " if it is the journal you want.");
            break;
    }
    return result;
}
