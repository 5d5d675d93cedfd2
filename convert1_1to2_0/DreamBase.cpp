#include "convert1_1to2_0/DreamBase.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "convert1_1to2_0/LeftoverWorkingCopy.h"
#include "platform/os/BufferedIO.h"
#include "platform/text/Password.h"
#include "platform/text/TextMode.h"

using platform::Env;
using platform::FileKind;
using platform::Status;
using platform::ThrowIfFailed;

namespace {

const char* const kSource = "convert1_1to2_0/DreamBase";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The record's day number, its date truncated toward zero (saturated, for
// dates no calendar holds).
int32_t DayNumber(float date) {
    if (!(date > -2147483648.0f))
        return date != date ? 0 : INT32_MIN;
    if (date >= 2147483648.0f)
        return INT32_MAX;
    return static_cast<int32_t>(date);
}

bool IsEmptyFile(const std::string& path) {
    platform::BufferedReader in(Env::Current(), path);
    const bool empty = in.Get() < 0;
    in.Close();
    return empty;
}

// The journal's own permissions, narrowed to its owner: what a file holding
// the deciphered journal gets.
platform::FileOwnership Private(platform::FileOwnership ownership) {
    ownership.mode &= 0700;
    return ownership;
}

}  // namespace

TDreamBase::TDreamBase(std::string password, bool& opened, int codePage,
                       std::function<bool(std::string*)> askPassword)
    : password(std::move(password)), codePage_(codePage), askPassword_(std::move(askPassword)) {
    Env& env = Env::Current();
    ThrowIfFailed(env.GetCurrentDir(&folder));
    DATA_F_NAME = platform::JoinPath(folder, "data");
    RESERV_1 = platform::JoinPath(folder, "_data");
    RESERV_2 = platform::JoinPath(folder, "__data");
    workingCopy_ = DATA_F_NAME + "X";

    // Whatever ends the run from here on first puts the data file back. A
    // constructor that throws gets no destructor, so it restores here too.
    recovery_ = std::make_unique<platform::RecoveryAction>([this] { Restore(); });
    try {
        Open(opened);
    } catch (...) {
        Restore();
        throw;
    }
}

void TDreamBase::Open(bool& opened) {
    Env& env = Env::Current();
    std::vector<std::string> spellings = platform::PasswordSpellings(password, codePage_);
    auto wrongPassword = [&] {
        std::cout << "Wrong password!\n";
        opened = false;
        recovery_.reset();
        Restore();  // the data file is untouched; only the working copy goes
    };

    ExamineDataFile();
    LeftoverResolution leftover = ResolveLeftoverWorkingCopy(DATA_F_NAME, workingCopy_, spellings);
    if (leftover.outcome == LeftoverOutcome::kWrongPassword && password.empty() && askPassword_) {
        // Telling what an interrupted run left needs the journal's password.
        std::string typed;
        const std::function<bool(std::string*)> ask = std::exchange(askPassword_, nullptr);
        if (ask(&typed)) {
            password = typed;
            spellings = platform::PasswordSpellings(typed, codePage_);
            leftover = ResolveLeftoverWorkingCopy(DATA_F_NAME, workingCopy_, spellings);
        }
    }
    if (leftover.outcome == LeftoverOutcome::kWrongPassword)
        return wrongPassword();

    if (ExamineDataFile() == FileKind::kMissing) {
        RefuseWithoutJournal();
        newJournal_ = true;
        password = spellings.front();
    } else {
        // An empty data file is no journal. Converting it would write an
        // empty journal over it and rotate the good copy out of the backups.
        if (IsEmptyFile(DATA_F_NAME))
            throw JournalError("data file " + Quoted(DATA_F_NAME) +
                               " is empty; the backups \"_data\" and \"__data\" may hold the "
                               "journal");
        // The backups must be able to move on at the end, or the run would
        // convert the journal and then fail.
        for (const std::string& backup : {RESERV_1, RESERV_2}) {
            FileKind backupKind;
            ThrowIfFailed(env.GetFileKind(backup, &backupKind));
            if (backupKind == FileKind::kDirectory || backupKind == FileKind::kOther)
                throw JournalError("the backup " + Quoted(backup) +
                                   " is not a file; move it out of the way");
        }
        ThrowIfFailed(env.GetOwnership(DATA_F_NAME, &ownership_));
        // The copy is new, so private; an enciphered one may be as readable
        // as the journal itself, and is put back with the journal's rights.
        ThrowIfFailed(platform::CopyWholeFile(env, DATA_F_NAME, workingCopy_));
        workingCopyTaken_ = true;
        if (!IsPlainFile(DATA_F_NAME))
            ThrowIfFailed(env.SetOwnership(workingCopy_, ownership_));
        if (!GainAccess(spellings))
            return wrongPassword();
        Load();
    }
    iniFile = std::make_unique<TIniFile>(folder);
    opened = true;
}

FileKind TDreamBase::ExamineDataFile() {
    Env& env = Env::Current();
    FileKind kind;
    ThrowIfFailed(env.GetFileKind(DATA_F_NAME, &kind));
    switch (kind) {
        case FileKind::kMissing:
        case FileKind::kFile:
            return kind;
        case FileKind::kDirectory:
            throw JournalError("data file " + Quoted(DATA_F_NAME) + " is a folder, not a file");
        case FileKind::kOther:
            throw JournalError("data file " + Quoted(DATA_F_NAME) + " is not a regular file");
        case FileKind::kLink:
            break;
    }
    // Converting through a link would leave the journal it points at in its
    // old form while the link gave way to a new file here.
    std::string target;
    ThrowIfFailed(env.ReadLink(DATA_F_NAME, &target));
    FileKind targetKind = FileKind::kMissing;
    std::unique_ptr<platform::ReadableFile> probe;
    const bool dangling = !env.OpenForRead(DATA_F_NAME, &probe).ok() &&
                          env.GetFileKind(target, &targetKind).ok() &&
                          targetKind == FileKind::kMissing;
    if (dangling)
        throw JournalError("data file " + Quoted(DATA_F_NAME) + " is a link to " + Quoted(target) +
                           ", which does not exist");
    throw JournalError("data file " + Quoted(DATA_F_NAME) + " is a link to " + Quoted(target) +
                       "; convert the journal in its own folder, or put the file itself in "
                       "place of the link");
}

void TDreamBase::RefuseWithoutJournal() {
    // Run in the wrong folder, or after the journal was lost: a backup may
    // hold it, and a new empty journal must not push it out of the rotation.
    std::vector<std::string> names;
    ThrowIfFailed(Env::Current().ListDir(folder, &names));
    std::vector<std::string> copies;
    for (const std::string& name : names) {
        if (name == "_data" || name == "__data" || IsKeptWorkingCopyName(name))
            copies.push_back(Quoted(name));
    }
    if (copies.empty())
        return;
    std::sort(copies.begin(), copies.end());
    std::string list;
    for (const std::string& copy : copies)
        list += (list.empty() ? "" : ", ") + copy;
    throw JournalError("there is no data file " + Quoted(DATA_F_NAME) +
                       ", but there are copies of a journal: " + list + "; copy one of them to " +
                       Quoted(DATA_F_NAME) + " to convert it");
}

TDreamBase::~TDreamBase() {
    // Closed and rotated, this just lets go; otherwise the run is failing:
    // leave the journal as found.
    Restore();
    recovery_.reset();
}

bool TDreamBase::GainAccess(const std::vector<std::string>& spellings) {
    Env& env = Env::Current();
    if (password.empty() && IsPlainFile(DATA_F_NAME)) {
        // Plain already; while the run has it open, it is its owner's alone.
        ThrowIfFailed(env.SetOwnership(DATA_F_NAME, Private(ownership_)));
        dataPrivate_ = true;
        return true;
    }
    auto isJournal = [this](const std::string& plain) { return IsPlainFile(plain); };
    for (const std::string& spelling : spellings) {
        dataChanged_ = true;  // deciphering replaces the data file
        if (DecryptFile(DATA_F_NAME, spelling, isJournal, &scheme_)) {
            password = spelling;
            return true;
        }
    }
    dataChanged_ = false;
    // No password was given and the empty one does not open the journal: the
    // user is asked, once.
    std::string typed;
    const std::function<bool(std::string*)> ask = std::exchange(askPassword_, nullptr);
    if (!password.empty() || !ask || !ask(&typed))
        return false;
    return GainAccess(platform::PasswordSpellings(typed, codePage_));
}

bool TDreamBase::IsPlainFile(const std::string& fileName) const {
    platform::BufferedReader in(Env::Current(), fileName);
    std::string head;
    for (int c; head.size() < 15 && (c = in.Get()) >= 0;)
        head.push_back(static_cast<char>(c));
    in.Close();
    return LooksLikePlainJournal(head);
}

void TDreamBase::RotateBackups() {
    if (!closed_)
        return;
    dataCreated_ = false;  // a new journal stays from now on
    if (!workingCopyTaken_)
        return;
    Env& env = Env::Current();
    auto fail = [&](const Status& status) {
        throw platform::IoError(
            Status::Error(status.message() +
                          "; the journal was converted and its data file enciphered again, "
                          "but the backups \"_data\" and \"__data\" did not move on"));
    };
    FileKind kind;
    Status status = env.GetFileKind(RESERV_1, &kind);
    if (status.ok() && kind == FileKind::kFile)
        status = env.RenameFile(RESERV_1, RESERV_2);
    if (!status.ok())
        fail(status);
    // The journal as this run found it becomes the newest backup, keeping its
    // own ownership and permissions.
    status = env.RenameFile(workingCopy_, RESERV_1);
    if (!status.ok())
        fail(status);
    workingCopyTaken_ = false;
    dataChanged_ = false;
}

void TDreamBase::CreateSettingsFileIfMissing() {
    if (closed_ && iniFile)
        iniFile->CreateIfMissing();
}

void TDreamBase::Restore() {
    Env& env = Env::Current();
    if (dataCreated_) {
        // There was no journal: the one being written goes again, lest it
        // stay plain and refuse the password for ever after.
        FileKind kind;
        Status removed = env.GetFileKind(DATA_F_NAME, &kind);
        if (removed.ok() && kind == FileKind::kFile)
            removed = env.RemoveFile(DATA_F_NAME);
        if (removed.ok())
            dataCreated_ = false;
        else
            std::cerr << "Warning: " << removed.message() << "\n";
    }
    if (!workingCopyTaken_)
        return;
    Status status =
        dataChanged_ ? env.RenameFile(workingCopy_, DATA_F_NAME) : env.RemoveFile(workingCopy_);
    if (status.ok() && (dataChanged_ || dataPrivate_))
        status = env.SetOwnership(DATA_F_NAME, ownership_);
    if (status.ok()) {
        workingCopyTaken_ = false;
        dataChanged_ = false;
        dataPrivate_ = false;
        return;
    }
    std::cerr << "Warning: " << status.message() << "\n";
    // Advice only for what the folder holds now.
    FileKind kind;
    if (dataChanged_ && env.GetFileKind(workingCopy_, &kind).ok() && kind == FileKind::kFile)
        std::cerr << "The journal as it was found is kept in " << Quoted(workingCopy_)
                  << ": rename it to " << Quoted(DATA_F_NAME) << " to recover it.\n";
}

void TDreamBase::Load() {
    ReadDataFile(DATA_F_NAME, &recordCount, &places, &positions, &records, &decimalSeparator_);
    currentRecord = recordCount != 0 ? recordCount - 1 : 0;
    for (const TRecord& record : records)
        dayNumbers.push_back(DayNumber(record.date));
    if (static_cast<int64_t>(records.size()) != recordCount)
        std::cerr << "Warning: data file " << Quoted(DATA_F_NAME) << " states " << recordCount
                  << " records but holds " << records.size() << "; all " << records.size()
                  << " are converted\n";
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
    WriteDataFile(DATA_F_NAME, places, positions, records, decimalSeparator_);
}

void TDreamBase::Close() {
    if (!iniFile || closed_)
        return;
    Env& env = Env::Current();
    dataCreated_ = !workingCopyTaken_;
    Save();
    dataChanged_ = true;
    EncryptFile(DATA_F_NAME, password, scheme_);  // failures throw
    // The enciphered journal gets its own ownership and permissions back. A
    // new one keeps those of a new file: its folder's owner's, and private.
    if (ownership_.known)
        ThrowIfFailed(env.SetOwnership(DATA_F_NAME, ownership_));
    dataPrivate_ = false;
    closed_ = true;
}

TRecord TDreamBase::GetRecord(int index) const {
    JC_FATAL_CHECK(index >= 0 && index < RecordCount(), "(index>=0)&&(index<recordCount)", kSource,
                   406);
    return records[static_cast<size_t>(index)];
}
