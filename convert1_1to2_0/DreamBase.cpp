#include "convert1_1to2_0/DreamBase.h"

#include <algorithm>
#include <utility>

#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/LeftoverWorkingCopy.h"
#include "core/JournalFiles.h"
#include "platform/text/CodePage.h"
#include "platform/text/Password.h"
#include "platform/text/TextMode.h"

using platform::Env;
using platform::FileKind;
using platform::Folder;
using platform::Quoted;
using platform::Status;
using platform::StatusCode;
using platform::ThrowIfFailed;

namespace {

const char* const kSource = "convert1_1to2_0/DreamBase";

// The number of a kept working copy ("data.interrupted.3": 3), 0 for the
// first.
unsigned long CopyNumber(const std::string& name) {
    const size_t base = std::string(journal_files::kInterruptedCopy).size();
    return name.size() > base ? std::stoul(name.substr(base + 1)) : 0;
}

// A legacy journal that is not fit to be converted: the text names the file
// and the problem.
[[noreturn]] void Unfit(StatusCode code, const std::string& path, const std::string& problem) {
    throw platform::Error(Status::Make(code, "data file " + Quoted(path) + problem, path));
}

// Where the link `target` points to nothing: the target is looked up, not
// opened, and only to say so.
bool PointsToNothing(const std::string& target) {
    std::unique_ptr<Folder> folder;
    FileKind kind;
    const Status opened = Env::Current().OpenFolder(platform::FolderOf(target), &folder);
    return opened.Is(StatusCode::kNotFound) ||
           (opened.ok() && folder->GetFileKind(platform::NameOf(target), &kind).ok() &&
            kind == FileKind::kMissing);
}

}  // namespace

TDreamBase::TDreamBase(Folder& folder, const Options& options, platform::Reporter& reporter)
    : folder_(folder),
      DATA_F_NAME(journal_files::kDataFile),
      RESERV_1(journal_files::kNewestBackup),
      RESERV_2(journal_files::kOlderBackup),
      workingCopy_(journal_files::kWorkingCopy),
      password(options.password),
      codePage_(options.codePage),
      codePageChosen_(options.codePageChosen),
      askPassword_(options.askPassword),
      confirmNewJournal_(options.confirmNewJournal),
      inspectOnly_(options.inspectOnly),
      reporter_(reporter) {}

Status TDreamBase::Open(Folder& folder, const Options& options, platform::Reporter& reporter,
                        std::unique_ptr<TDreamBase>* base) {
    std::unique_ptr<TDreamBase> opening(new TDreamBase(folder, options, reporter));
    // Whatever ends the run from here on first puts the data file back,
    // even a fatal check; a failure that throws does it in the destructor.
    TDreamBase* self = opening.get();
    opening->recovery_ = std::make_unique<platform::RecoveryAction>([self] { self->Restore(); });
    const Status status = opening->OpenJournal();
    if (status.ok())
        *base = std::move(opening);
    return status;
}

Status TDreamBase::WrongPassword(const std::string& why) {
    reporter_.Output("Wrong password!\n");
    if (!why.empty())
        reporter_.Note(why);
    recovery_.reset();
    Restore();  // the data file is untouched; only the working copy goes
    return Status::Make(StatusCode::kWrongKey, "the password does not open the journal in " +
                                                   Quoted(folder_.PathOf(DATA_F_NAME)));
}

Status TDreamBase::OpenJournal() {
    std::vector<std::string> spellings = platform::PasswordSpellings(password, codePage_);

    ExamineDataFile();
    auto dealWithLeftover = [&] {
        leftover_ = inspectOnly_
                        ? PlanLeftoverWorkingCopy(folder_, DATA_F_NAME, workingCopy_, spellings)
                        : ResolveLeftoverWorkingCopy(folder_, DATA_F_NAME, workingCopy_, spellings,
                                                     reporter_);
        return leftover_.outcome;
    };
    LeftoverOutcome leftover = dealWithLeftover();
    // Telling what an interrupted run left needs the journal's password.
    std::string typed;
    while (leftover == LeftoverOutcome::kWrongPassword && password.empty() && AskPassword(&typed)) {
        spellings = platform::PasswordSpellings(typed, codePage_);
        leftover = dealWithLeftover();
        if (leftover != LeftoverOutcome::kWrongPassword)
            password = typed;
    }
    if (leftover == LeftoverOutcome::kWrongPassword)
        return WrongPassword(leftover_.why);
    // Inspecting, the copy that a run would put back is the journal.
    const std::string& journalFile =
        leftover == LeftoverOutcome::kPutBack && inspectOnly_ ? workingCopy_ : DATA_F_NAME;

    if (ExamineDataFile() == FileKind::kMissing) {
        RefuseWithoutJournal();
        if (confirmNewJournal_)
            confirmNewJournal_();
        newJournal_ = true;
        password = spellings.front();
    } else {
        std::string bytes;
        ThrowIfFailed(platform::ReadWholeFile(folder_, journalFile, &bytes));
        // An empty data file is no journal. Converting it would write an
        // empty journal over it and rotate the good copy out of the backups.
        if (bytes.empty())
            Unfit(StatusCode::kCorrupt, folder_.PathOf(DATA_F_NAME),
                  " is empty" + WhereBackupsMayHoldIt());
        // The backups must be able to move on at the end, or the run would
        // convert the journal and then fail.
        for (const std::string& backup : {RESERV_1, RESERV_2}) {
            FileKind backupKind;
            ThrowIfFailed(folder_.GetFileKind(backup, &backupKind));
            if (backupKind == FileKind::kDirectory || backupKind == FileKind::kOther) {
                const std::string path = folder_.PathOf(backup);
                throw platform::Error(Status::Make(
                    StatusCode::kExists,
                    "the backup " + Quoted(path) + " is not a file; move it out of the way", path));
            }
        }
        ThrowIfFailed(folder_.GetOwnership(journalFile, &ownership_));
        if (!FindKey(bytes))
            return WrongPassword();
        std::string().swap(bytes);  // its memory goes back now
        Load();
    }
    iniFile = std::make_unique<TIniFile>(folder_, reporter_);
    return Status::OK();
}

std::string TDreamBase::WhereBackupsMayHoldIt() const {
    std::vector<std::string> backups;
    for (const char* name : {journal_files::kNewestBackup, journal_files::kOlderBackup}) {
        FileKind kind;
        ThrowIfFailed(folder_.GetFileKind(name, &kind));
        if (kind == FileKind::kFile)
            backups.push_back(Quoted(name));
    }
    switch (backups.size()) {
        case 0:
            return ", and there is no backup of it";
        case 1:
            return "; the backup " + backups[0] + " may hold the journal";
        default:
            return "; the backups " + backups[0] + " and " + backups[1] + " may hold the journal";
    }
}

bool TDreamBase::AskPassword(std::string* typed) {
    if (!askPassword_ || passwordTries_ == kPasswordTries)
        return false;
    if (passwordTries_++ > 0)
        reporter_.Tell("Wrong password; try again.\n");
    return askPassword_(typed);
}

bool TDreamBase::FindKey(const std::string& bytes) {
    if (password.empty() && LooksLikePlainJournal(bytes)) {
        openedPlain_ = true;
        plain_ = bytes;
        return true;
    }
    if (TryPassword(password, bytes))
        return true;
    // No password was given and the empty one does not open the journal: a
    // person at the terminal is asked, and asked again after a wrong one.
    std::string typed;
    while (password.empty() && AskPassword(&typed)) {
        if (TryPassword(typed, bytes))
            return true;
    }
    return false;
}

bool TDreamBase::TryPassword(const std::string& typed, const std::string& bytes) {
    // Every spelling must give a plain journal: no wrong key is taken for
    // the right one because its padding happens to look valid.
    auto opens = [&](const std::string& spelling) {
        return DecipherText(bytes, spelling, LooksLikePlainJournal, &plain_, &scheme_);
    };
    const std::vector<std::string> spellings = platform::PasswordSpellings(typed, codePage_);
    for (const std::string& spelling : spellings) {
        if (opens(spelling)) {
            password = spelling;
            return true;
        }
    }
    if (codePageChosen_ || platform::IsAscii(typed))
        return false;
    // The journal's Windows may have used another code page than the one
    // taken: its spelling of the password tells. Several pages may spell it
    // alike; they are tried once.
    std::vector<std::pair<std::string, std::vector<int>>> others;
    for (int page : PreferredCodePages()) {
        std::string narrow;
        if (page == codePage_ || !platform::Utf8ToCodePage(typed, page, &narrow) ||
            std::find(spellings.begin(), spellings.end(), narrow) != spellings.end())
            continue;
        auto same = std::find_if(others.begin(), others.end(),
                                 [&](const auto& other) { return other.first == narrow; });
        if (same == others.end())
            others.push_back({narrow, {page}});
        else
            same->second.push_back(page);
    }
    for (const auto& [spelling, pages] : others) {
        if (opens(spelling)) {
            password = spelling;
            passwordPages_ = pages;
            return true;
        }
    }
    return false;
}

FileKind TDreamBase::ExamineDataFile() {
    FileKind kind;
    ThrowIfFailed(folder_.GetFileKind(DATA_F_NAME, &kind));
    const std::string path = folder_.PathOf(DATA_F_NAME);
    switch (kind) {
        case FileKind::kMissing:
        case FileKind::kFile:
            return kind;
        case FileKind::kDirectory:
            Unfit(StatusCode::kExists, path, " is a folder, not a file");
        case FileKind::kOther:
            Unfit(StatusCode::kExists, path, " is not a regular file");
        case FileKind::kLink:
            break;
    }
    // Converting through a link would leave the journal it points at in its
    // old form while the link gave way to a new file here.
    std::string target;
    ThrowIfFailed(folder_.ReadLink(DATA_F_NAME, &target));
    if (PointsToNothing(target))
        Unfit(StatusCode::kNotFound, path,
              " is a link to " + Quoted(target) + ", which does not exist");
    Unfit(StatusCode::kNotSupported, path,
          " is a link to " + Quoted(target) +
              "; convert the journal in its own folder, or put the file itself in place of the "
              "link");
}

void TDreamBase::RefuseWithoutJournal() {
    // Run in the wrong folder, or after the journal was lost: a backup may
    // hold it, and a new empty journal must not push it out of the rotation.
    std::vector<std::string> names;
    ThrowIfFailed(folder_.List(&names));
    // The newest first: the backups, then the kept working copies, the
    // latest taken first.
    std::vector<std::pair<unsigned long, std::string>> copies;
    for (const std::string& name : names) {
        if (name == journal_files::kNewestBackup)
            copies.push_back({0, name});
        else if (name == journal_files::kOlderBackup)
            copies.push_back({1, name});
        else if (IsKeptWorkingCopyName(name))
            copies.push_back({~0ul - CopyNumber(name), name});
    }
    if (inspectOnly_ && leftover_.outcome == LeftoverOutcome::kKeptAside) {
        const std::string name = platform::NameOf(leftover_.keptAs);
        copies.push_back({~0ul - CopyNumber(name), name});
    }
    if (copies.empty())
        return;
    std::sort(copies.begin(), copies.end());
    std::string list;
    for (const auto& copy : copies)
        list += (list.empty() ? "" : ", ") + Quoted(copy.second);
    const std::string path = folder_.PathOf(DATA_F_NAME);
    throw platform::Error(Status::Make(
        StatusCode::kNotFound,
        "there is no data file " + Quoted(path) + ", but there are copies of a journal: " + list +
            "; copy one of them to " + Quoted(path) + " to convert it",
        path));
}

TDreamBase::~TDreamBase() {
    // Closed and rotated, this just lets go; otherwise the run is failing:
    // leave the journal as found.
    Restore();
    recovery_.reset();
}

void TDreamBase::BeginChanges() {
    if (state_ != State::kClean || newJournal_ || !iniFile)
        return;
    // The copy is the journal as found, its ownership, permissions and
    // access control list too, from the moment it has its name: a run
    // stopped short leaves them there for the next run to give back. (A
    // plain journal's copy is no more readable than the journal itself was.)
    Enter(State::kCopied);
    ThrowIfFailed(platform::CopyWholeFile(folder_, DATA_F_NAME, workingCopy_, &ownership_));
    if (openedPlain_) {
        // Plain already; while the run has it open, it is its owner's alone
        // (as far as the file system keeps permissions: it was as readable
        // before).
        Enter(State::kNarrowed);
        ThrowIfFailed(platform::KeepOwnership(folder_, DATA_F_NAME, platform::Private(ownership_)));
    } else {
        Enter(State::kDeciphered);  // deciphering replaces the data file
        ReplaceWithPlainText(folder_, DATA_F_NAME, plain_);
        SayIfNotPrivate();
    }
    std::string().swap(plain_);
}

// The deciphered journal is made private; a file system that keeps no
// permissions (FAT, exFAT, NTFS as Linux mounts them) leaves it as readable
// as everything else there, and the user must know that.
void TDreamBase::SayIfNotPrivate() {
    platform::FileOwnership now;
    ThrowIfFailed(folder_.GetOwnership(DATA_F_NAME, &now));
    if (privacyTold_ || platform::IsPrivate(now))
        return;
    privacyTold_ = true;
    reporter_.Note("the file system of the folder " + Quoted(folder_.Location()) +
                   " cannot make a file private: while the run lasts, the deciphered journal in " +
                   Quoted(folder_.PathOf(DATA_F_NAME)) +
                   " is readable by whoever can read the folder; " +
                   Quoted(folder_.PathOf(journal_files::kDocument)) +
                   ", which holds the journal in the clear, stays readable by them");
}

std::vector<std::string_view> TDreamBase::Texts() const {
    std::vector<std::string_view> texts(places.begin(), places.end());
    texts.insert(texts.end(), positions.begin(), positions.end());
    for (const TRecord& record : records)
        texts.push_back(record.text);
    return texts;
}

void TDreamBase::Enter(State next) {
    // The moves the store makes, and no others: forward as the run goes,
    // back to kCopied when a wrong key left the data file as it was, and to
    // kClean when Restore has undone everything.
    auto allowed = [this](State next) {
        switch (state_) {
            case State::kClean:
                return next == State::kCopied || next == State::kCreating;
            case State::kCopied:
                return next == State::kNarrowed || next == State::kDeciphered ||
                       next == State::kClean;
            case State::kNarrowed:
                return next == State::kDeciphered || next == State::kClean;
            case State::kDeciphered:
                return next == State::kCopied || next == State::kDeciphered ||
                       next == State::kClosed || next == State::kClean;
            case State::kClosed:
            case State::kClosedNew:
                return next == State::kSettled || next == State::kClean;
            case State::kCreating:
                return next == State::kClosedNew || next == State::kClean;
            case State::kSettled:
                return false;
        }
        return false;
    };
    JC_FATAL_CHECK(allowed(next), "allowed(next)", kSource, __LINE__);
    state_ = next;
}

bool TDreamBase::IsClosed() const {
    return state_ == State::kClosed || state_ == State::kClosedNew || state_ == State::kSettled;
}

void TDreamBase::RotateBackups() {
    if (state_ == State::kClosedNew) {
        Enter(State::kSettled);  // a new journal stays from now on
        return;
    }
    if (state_ != State::kClosed)
        return;
    auto fail = [&](const Status& status) {
        throw platform::Error(status.Adding(
            "the journal was converted and its data file enciphered again, but the backups " +
            Quoted(journal_files::kNewestBackup) + " and " + Quoted(journal_files::kOlderBackup) +
            " did not move on"));
    };
    FileKind kind;
    Status status = folder_.GetFileKind(RESERV_1, &kind);
    if (status.ok() && kind == FileKind::kFile)
        status = folder_.RenameFile(RESERV_1, RESERV_2);
    if (!status.ok())
        fail(status);
    // The journal as this run found it becomes the newest backup, keeping its
    // own ownership and permissions.
    status = folder_.RenameFile(workingCopy_, RESERV_1);
    if (!status.ok())
        fail(status);
    Enter(State::kSettled);
}

void TDreamBase::CreateSettingsFileIfMissing() {
    if (IsClosed() && iniFile)
        iniFile->CreateIfMissing();
}

void TDreamBase::Restore() {
    Status status;
    switch (state_) {
        case State::kClean:
        case State::kSettled:
            return;
        case State::kCreating:
        case State::kClosedNew: {
            // There was no journal: the one being written goes again, lest it
            // stay plain and refuse the password for ever after.
            FileKind kind;
            status = folder_.GetFileKind(DATA_F_NAME, &kind);
            if (status.ok() && kind == FileKind::kFile)
                status = folder_.RemoveFile(DATA_F_NAME);
            break;
        }
        case State::kCopied:
        case State::kNarrowed:
            status = folder_.RemoveFile(workingCopy_);
            if (status.ok() && state_ == State::kNarrowed)
                status = platform::KeepOwnership(folder_, DATA_F_NAME, ownership_);
            break;
        case State::kDeciphered:
        case State::kClosed:
            // Replaced in one step: the journal is never missing.
            status = folder_.RenameFile(workingCopy_, DATA_F_NAME);
            if (status.ok())
                status = platform::KeepOwnership(folder_, DATA_F_NAME, ownership_);
            // A data file that could not be replaced (an immutable one) may
            // never have been changed: then only the copy goes.
            else if (IsWorkingCopyOfData())
                status = folder_.RemoveFile(workingCopy_);
            break;
    }
    if (status.ok()) {
        Enter(State::kClean);
        return;
    }
    reporter_.Warning(status.message());
    // Advice only for what the folder holds now.
    FileKind kind;
    if ((state_ == State::kDeciphered || state_ == State::kClosed) &&
        folder_.GetFileKind(workingCopy_, &kind).ok() && kind == FileKind::kFile &&
        !IsWorkingCopyOfData())
        reporter_.Line("The journal as it was found is kept in " +
                       Quoted(folder_.PathOf(workingCopy_)) + ": rename it to " +
                       Quoted(folder_.PathOf(DATA_F_NAME)) + " to recover it.");
}

// True when the data file holds the very bytes of the working copy: the
// journal as found.
bool TDreamBase::IsWorkingCopyOfData() {
    std::string copy, data;
    return platform::ReadWholeFile(folder_, workingCopy_, &copy).ok() &&
           platform::ReadWholeFile(folder_, DATA_F_NAME, &data).ok() && copy == data;
}

void TDreamBase::Load() {
    ParseDataFile(plain_, folder_.PathOf(DATA_F_NAME), reporter_, &recordCount, &places, &positions,
                  &records, &decimalSeparator_);
    if (openedPlain_)
        std::string().swap(plain_);  // nothing to lay in place
    if (static_cast<int64_t>(records.size()) != recordCount)
        reporter_.Warning("data file " + Quoted(folder_.PathOf(DATA_F_NAME)) + " states " +
                          std::to_string(recordCount) + " records but holds " +
                          std::to_string(records.size()) + "; all " +
                          std::to_string(records.size()) + " are converted");
}

void TDreamBase::Save() {
    // The journal stays as it was read: the document may be read back and
    // compared with it while it is written. The dates go back with the
    // separator they were found with, so an unchanged journal comes back
    // byte for byte under any locale.
    WriteDataFile(folder_, DATA_F_NAME, places, positions, records, decimalSeparator_);
}

void TDreamBase::Close() {
    if (!iniFile || IsClosed())
        return;
    BeginChanges();
    const bool created = state_ == State::kClean;
    Enter(created ? State::kCreating : State::kDeciphered);
    Save();
    EncryptFile(folder_, DATA_F_NAME, password, scheme_);  // failures throw
    // The enciphered journal gets its own ownership, permissions and access
    // control list back. A new one keeps those of a new file: its folder's
    // owner's, and private.
    if (ownership_.known)
        ThrowIfFailed(platform::KeepOwnership(folder_, DATA_F_NAME, ownership_));
    Enter(created ? State::kClosedNew : State::kClosed);
}

TRecord TDreamBase::GetRecord(int index) const {
    JC_FATAL_CHECK(index >= 0 && index < RecordCount(), "(index>=0)&&(index<recordCount)", kSource,
                   406);
    return records[static_cast<size_t>(index)];
}
