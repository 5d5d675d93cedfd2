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

LeftoverResolution PlanLeftoverWorkingCopy(const std::string& dataFile,
                                           const std::string& workingCopy,
                                           const std::vector<std::string>& passwords) {
    Env& env = Env::Current();
    LeftoverResolution plan;
    FileKind kind;
    ThrowIfFailed(env.GetFileKind(workingCopy, &kind));
    if (kind == FileKind::kMissing)
        return plan;
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
            if (PlainTextOf(data, passwords, &plainData) && plainData == plainCopy)
                return decide(LeftoverOutcome::kRemoved,
                              "the data file holds the same journal, enciphered again");
        }
    }
    plan.keptAs = FirstFreeNumberedName(env, platform::FolderOf(workingCopy), kInterruptedCopy, "");
    return decide(LeftoverOutcome::kKeptAside, "it is not the journal in the data file");
}

LeftoverResolution ResolveLeftoverWorkingCopy(const std::string& dataFile,
                                              const std::string& workingCopy,
                                              const std::vector<std::string>& passwords,
                                              platform::Reporter& reporter) {
    Env& env = Env::Current();
    LeftoverResolution result = PlanLeftoverWorkingCopy(dataFile, workingCopy, passwords);
    switch (result.outcome) {
        case LeftoverOutcome::kNone:
        case LeftoverOutcome::kWrongPassword:
            break;
        case LeftoverOutcome::kRemoved: {
            // The copy goes, its ownership and permissions (the journal's as
            // found) passed on first: the interrupted run may have left the
            // data file its owner's alone.
            platform::FileOwnership ownership;
            ThrowIfFailed(env.GetOwnership(workingCopy, &ownership));
            ThrowIfFailed(env.SetOwnership(dataFile, ownership));
            ThrowIfFailed(env.RemoveFile(workingCopy));
            reporter.Note("removed " + Quoted(workingCopy) +
                          ", left by an interrupted run: " + result.why);
            break;
        }
        case LeftoverOutcome::kPutBack:
            // Replaced in one step: the journal is never missing.
            ThrowIfFailed(env.RenameFile(workingCopy, dataFile));
            reporter.Warning(Quoted(dataFile) +
                             " lay deciphered, left so by an interrupted run; its enciphered "
                             "form " +
                             Quoted(workingCopy) + " is put back in its place");
            break;
        case LeftoverOutcome::kKeptAside:
            // Never over anything: the name planned may have been taken since.
            result.keptAs = RenameToFirstFreeNumberedName(
                env, workingCopy, platform::FolderOf(workingCopy), kInterruptedCopy, "");
            reporter.Warning(Quoted(workingCopy) +
                             ", the journal as an interrupted run found it, is not the journal "
                             "in " +
                             Quoted(dataFile) + "; it is kept as " + Quoted(result.keptAs) +
                             ". Copy it over " + Quoted(dataFile) +
                             " if it is the journal you want.");
            break;
    }
    return result;
}
