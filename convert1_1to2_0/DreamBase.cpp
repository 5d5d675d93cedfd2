#include "convert1_1to2_0/DreamBase.h"

#include <algorithm>
#include <utility>

#include "convert1_1to2_0/LeftoverWorkingCopy.h"
#include "core/JournalFiles.h"
#include "platform/os/BufferedIO.h"
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

bool IsEmptyFile(Folder& folder, const std::string& name) {
    platform::BufferedReader in(folder, name);
    const bool empty = in.Get() < 0;
    in.Close();
    return empty;
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
      askPassword_(options.askPassword),
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
    LeftoverResolution leftover =
        ResolveLeftoverWorkingCopy(folder_, DATA_F_NAME, workingCopy_, spellings, reporter_);
    if (leftover.outcome == LeftoverOutcome::kWrongPassword && password.empty() && askPassword_) {
        // Telling what an interrupted run left needs the journal's password.
        std::string typed;
        const std::function<bool(std::string*)> ask = std::exchange(askPassword_, nullptr);
        if (ask(&typed)) {
            password = typed;
            spellings = platform::PasswordSpellings(typed, codePage_);
            leftover = ResolveLeftoverWorkingCopy(folder_, DATA_F_NAME, workingCopy_, spellings,
                                                  reporter_);
        }
    }
    if (leftover.outcome == LeftoverOutcome::kWrongPassword)
        return WrongPassword(leftover.why);

    if (ExamineDataFile() == FileKind::kMissing) {
        RefuseWithoutJournal();
        newJournal_ = true;
        password = spellings.front();
    } else {
        // An empty data file is no journal. Converting it would write an
        // empty journal over it and rotate the good copy out of the backups.
        if (IsEmptyFile(folder_, DATA_F_NAME))
            Unfit(StatusCode::kCorrupt, folder_.PathOf(DATA_F_NAME),
                  " is empty; the backups \"_data\" and \"__data\" may hold the journal");
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
        ThrowIfFailed(folder_.GetOwnership(DATA_F_NAME, &ownership_));
        // The copy is the journal as found, its ownership, permissions and
        // access control list too, from the moment it has its name: a run
        // stopped short leaves them there for the next run to give back. (A
        // plain journal's copy is no more readable than the journal itself
        // was.)
        Enter(State::kCopied);
        ThrowIfFailed(platform::CopyWholeFile(folder_, DATA_F_NAME, workingCopy_, &ownership_));
        if (!GainAccess(spellings))
            return WrongPassword();
        Load();
    }
    iniFile = std::make_unique<TIniFile>(folder_, reporter_);
    return Status::OK();
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
    std::vector<std::string> copies;
    for (const std::string& name : names) {
        if (name == journal_files::kNewestBackup || name == journal_files::kOlderBackup ||
            IsKeptWorkingCopyName(name))
            copies.push_back(Quoted(name));
    }
    if (copies.empty())
        return;
    std::sort(copies.begin(), copies.end());
    std::string list;
    for (const std::string& copy : copies)
        list += (list.empty() ? "" : ", ") + copy;
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

bool TDreamBase::GainAccess(const std::vector<std::string>& spellings) {
    if (password.empty() && IsPlainFile(DATA_F_NAME)) {
        // Plain already; while the run has it open, it is its owner's alone
        // (as far as the file system keeps permissions: it was as readable
        // before).
        Enter(State::kNarrowed);
        ThrowIfFailed(platform::KeepOwnership(folder_, DATA_F_NAME, platform::Private(ownership_)));
        return true;
    }
    auto isJournal = [this](const std::string& plain) { return IsPlainFile(plain); };
    for (const std::string& spelling : spellings) {
        Enter(State::kDeciphered);  // deciphering replaces the data file
        if (DecryptFile(folder_, DATA_F_NAME, spelling, isJournal, &scheme_)) {
            password = spelling;
            SayIfNotPrivate();
            return true;
        }
        Enter(State::kCopied);  // a wrong key left the data file as it was
    }
    // No password was given and the empty one does not open the journal: the
    // user is asked, once.
    std::string typed;
    const std::function<bool(std::string*)> ask = std::exchange(askPassword_, nullptr);
    if (!password.empty() || !ask || !ask(&typed))
        return false;
    return GainAccess(platform::PasswordSpellings(typed, codePage_));
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

bool TDreamBase::IsPlainFile(const std::string& fileName) const {
    platform::BufferedReader in(folder_, fileName);
    std::string head;
    for (int c; head.size() < 15 && (c = in.Get()) >= 0;)
        head.push_back(static_cast<char>(c));
    in.Close();
    return LooksLikePlainJournal(head);
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
            "the journal was converted and its data file enciphered again, but the backups "
            "\"_data\" and \"__data\" did not move on"));
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
    ReadDataFile(folder_, DATA_F_NAME, reporter_, &recordCount, &places, &positions, &records,
                 &decimalSeparator_);
    if (static_cast<int64_t>(records.size()) != recordCount)
        reporter_.Warning("data file " + Quoted(folder_.PathOf(DATA_F_NAME)) + " states " +
                          std::to_string(recordCount) + " records but holds " +
                          std::to_string(records.size()) + "; all " +
                          std::to_string(records.size()) + " are converted");
}

void TDreamBase::Save() {
    // Line breaks are kept as LF in memory; text mode stores them as CR LF.
    // Names are treated alike, or each run would add a CR to a line break.
    for (TRecord& record : records)
        record.text = platform::FromTextMode(record.text);
    for (std::string& place : places)
        place = platform::FromTextMode(place);
    for (std::string& position : positions)
        position = platform::FromTextMode(position);
    // The dates go back with the separator they were found with, so an
    // unchanged journal comes back byte for byte under any locale.
    WriteDataFile(folder_, DATA_F_NAME, places, positions, records, decimalSeparator_);
}

void TDreamBase::Close() {
    if (!iniFile || IsClosed())
        return;
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
