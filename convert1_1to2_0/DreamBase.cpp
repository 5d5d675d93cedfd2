#include "convert1_1to2_0/DreamBase.h"

#include <iostream>
#include <utility>

#include "platform/BufferedIO.h"
#include "platform/Env.h"
#include "platform/Password.h"
#include "platform/TextMode.h"

using platform::Env;
using platform::FileKind;
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

}  // namespace

TDreamBase::TDreamBase(std::string password, bool& opened,
                       std::function<bool(std::string*)> askPassword)
    : password(std::move(password)), askPassword_(std::move(askPassword)) {
    Env& env = Env::Current();
    ThrowIfFailed(env.GetCurrentDirectory(&folder));
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
    RecoverInterruptedRun();

    FileKind kind;
    ThrowIfFailed(env.GetFileKind(DATA_F_NAME, &kind));
    if (kind == FileKind::kDirectory)
        throw JournalError("data file " + Quoted(DATA_F_NAME) + " is a folder, not a file");
    const std::vector<std::string> spellings = platform::PasswordSpellings(password);
    if (kind == FileKind::kFile) {
        // An empty data file is no journal. Converting it would write an
        // empty journal over it and rotate the good copy out of the backups.
        if (IsEmptyFile(DATA_F_NAME))
            throw JournalError(
                "data file " + Quoted(DATA_F_NAME) +
                " is empty; the backups \"_data\" and \"__data\" may hold the journal");
        ThrowIfFailed(env.CopyFile(DATA_F_NAME, workingCopy_));
        workingCopyTaken_ = true;
        if (!GainAccess(spellings)) {
            std::cout << "Wrong password!\n";
            opened = false;
            recovery_.reset();
            Restore();  // the data file is untouched; only the working copy goes
            return;
        }
        Load();
    } else {
        password = spellings.front();
    }
    iniFile = std::make_unique<TIniFile>(folder);
    opened = true;
}

TDreamBase::~TDreamBase() {
    // The journal is whole and enciphered again: only now do the backups
    // move on, so a run that fails leaves them as they were.
    if (closed_ && workingCopyTaken_)
        RotateBackups();
    // Not closed means the run is failing: leave the journal as found.
    // Closed, this just lets the working copy go.
    Restore();
    recovery_.reset();
}

void TDreamBase::RecoverInterruptedRun() {
    Env& env = Env::Current();
    FileKind kind;
    ThrowIfFailed(env.GetFileKind(workingCopy_, &kind));
    if (kind != FileKind::kFile)
        return;
    // An earlier run stopped while the journal was open. Its working copy is
    // the data file as that run found it. A data file that is enciphered
    // again needs nothing; one that lies deciphered is replaced by it.
    ThrowIfFailed(env.GetFileKind(DATA_F_NAME, &kind));
    if (kind == FileKind::kFile && !IsPlainFile(DATA_F_NAME)) {
        ThrowIfFailed(env.RemoveFile(workingCopy_));
        return;
    }
    std::cerr << "Warning: " << Quoted(workingCopy_)
              << " was left by an interrupted run; putting it back as " << Quoted(DATA_F_NAME)
              << "\n";
    ThrowIfFailed(env.RenameFile(workingCopy_, DATA_F_NAME));
}

bool TDreamBase::GainAccess(const std::vector<std::string>& spellings) {
    if (password.empty() && IsPlainFile(DATA_F_NAME))
        return true;
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
    return GainAccess(platform::PasswordSpellings(typed));
}

bool TDreamBase::IsPlainFile(const std::string& fileName) const {
    platform::BufferedReader in(Env::Current(), fileName);
    std::string head;
    for (int c; head.size() < 15 && (c = in.Get()) >= 0;)
        head.push_back(static_cast<char>(c));
    in.Close();
    head = platform::FromTextMode(head);
    size_t digits = 0;
    while (digits < head.size() && head[digits] >= '0' && head[digits] <= '9')
        ++digits;
    return digits > 0 && head.find("PLACE") != std::string::npos;
}

void TDreamBase::RotateBackups() {
    Env& env = Env::Current();
    FileKind kind;
    platform::Status status = env.GetFileKind(RESERV_1, &kind);
    if (status.ok() && kind == FileKind::kFile)
        status = env.CopyFile(RESERV_1, RESERV_2);
    if (!status.ok()) {
        // Going on would overwrite the newer backup before the older one is
        // saved. The journal itself is safe in the data file.
        std::cerr << "Warning: the backups were not rotated: " << status.message() << "\n";
        return;
    }
    // Each copy replaces its target in one step.
    JC_FATAL_CHECK(env.CopyFile(workingCopy_, RESERV_1).ok(),
                   "RenameFile((DATA_F_NAME+\"X\").c_str(),RESERV_1)", kSource, 183);
}

void TDreamBase::Restore() {
    Env& env = Env::Current();
    if (dataCreated_) {
        // There was no journal: the one being written goes again, lest it
        // stay plain and refuse the password for ever after.
        platform::Status removed = env.RemoveFile(DATA_F_NAME);
        if (removed.ok())
            dataCreated_ = false;
        else
            std::cerr << "Warning: " << removed.message() << "\n";
    }
    if (!workingCopyTaken_)
        return;
    platform::Status status =
        dataChanged_ ? env.RenameFile(workingCopy_, DATA_F_NAME) : env.RemoveFile(workingCopy_);
    if (status.ok()) {
        workingCopyTaken_ = false;
        dataChanged_ = false;
        return;
    }
    std::cerr << "Warning: " << status.message() << "\n";
    if (dataChanged_)
        std::cerr << "The journal as it was found is kept in " << Quoted(workingCopy_)
                  << ": rename it to " << Quoted(DATA_F_NAME) << " to recover it.\n";
}

void TDreamBase::Load() {
    ReadDataFile(DATA_F_NAME, &recordCount, &places, &positions, &records);
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
    WriteDataFile(DATA_F_NAME, places, positions, records);
}

void TDreamBase::Close() {
    if (!iniFile)
        return;
    dataCreated_ = !workingCopyTaken_;
    Save();
    dataChanged_ = true;
    iniFile.reset();
    EncryptFile(DATA_F_NAME, password, scheme_);  // failures throw
    dataChanged_ = false;
    dataCreated_ = false;
    closed_ = true;
}

TRecord TDreamBase::GetRecord(int index) const {
    JC_FATAL_CHECK(index >= 0 && index < RecordCount(), "(index>=0)&&(index<recordCount)", kSource,
                   406);
    return records[static_cast<size_t>(index)];
}
