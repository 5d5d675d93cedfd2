#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert1_1to2_0/DataFile.h"
#include "convert1_1to2_0/FileUtils.h"
#include "convert1_1to2_0/IniFile.h"
#include "convert1_1to2_0/LeftoverWorkingCopy.h"
#include "platform/Reporter.h"
#include "platform/Status.h"
#include "platform/os/Env.h"
#include "platform/os/Fatal.h"

// The legacy journal store: the data file "data" in the journal folder, with
// its backups "_data" (as found at the start of the latest run) and "__data"
// (the one before). Opening reads the file and deciphers it in memory,
// changing nothing; BeginChanges then deciphers it in place; Close writes it
// back and enciphers it again; RotateBackups then moves the backups on.
//
// While the store has begun its changes the data file lies deciphered on
// disk, readable by its owner only. The working copy "dataX", taken before
// anything is changed, stays until the backups have moved on: any failure
// puts it back over the data file. A run that finds one left by an
// interrupted run first works out what it is (see LeftoverWorkingCopy).
class TDreamBase {
  public:
    // How often a person at the terminal is asked for the password.
    static constexpr int kPasswordTries = 3;

    struct Options {
        // As given on the command line; empty when none was given.
        std::string password;
        // The code page the journal's Windows used: a password typed as
        // UTF-8 is tried in it first.
        int codePage = 1251;
        // The code page was named by the user. When not, a password with
        // letters beyond ASCII that the code page does not open is tried as
        // each other code page spells it.
        bool codePageChosen = false;
        // When given, asked for a password when `password` is empty and
        // does not open an enciphered journal, again after a wrong one, up
        // to kPasswordTries times. False: nothing was read.
        std::function<bool(std::string*)> askPassword;
        // When given, called before a new journal is made where there is
        // none; it throws platform::Error to refuse, with nothing changed.
        std::function<void()> confirmNewJournal;
        // Changes nothing in the folder, not even what an interrupted run
        // left: the journal is opened as a run would find it once that is
        // dealt with (see Leftover()). Such a store is only read.
        bool inspectOnly = false;
    };

    // Opens the journal in `folder`, which must outlive the store: reads it
    // and deciphers it in memory, changing nothing but what an interrupted
    // run left (see LeftoverWorkingCopy). A password that does not open it
    // gives StatusCode::kWrongKey, after "Wrong password!" on the reporter's
    // standard output. Failures of the file system and unreadable journals
    // throw platform::Error, with the folder as it was found.
    //
    // Where the folder's file system cannot keep the deciphered journal
    // private, a note says so once the changes begin.
    static platform::Status Open(platform::Folder& folder, const Options& options,
                                 platform::Reporter& reporter, std::unique_ptr<TDreamBase>* base);

    // Without Close, puts the data file back as it was found.
    ~TDreamBase();
    TDreamBase(const TDreamBase&) = delete;
    TDreamBase& operator=(const TDreamBase&) = delete;

    // The run changes the folder from here on: takes the working copy and
    // lays the journal deciphered in the data file (a plain one is made its
    // owner's alone). Close does it when it has not been done. Throws, with
    // the data file restored, when that fails.
    void BeginChanges();
    // Writes the journal back and enciphers it with the password, giving the
    // data file its own ownership and permissions back. Throws, with the
    // data file restored, when that fails.
    void Close();
    // After Close: the journal as found becomes "_data", the previous "_data"
    // becomes "__data". Throws platform::Error saying what is where when a
    // step fails; the journal itself is safe in the data file by then.
    void RotateBackups();
    // After Close: creates the empty legacy settings file "ini" when there was
    // none, as the older release expects. Problems are warnings.
    void CreateSettingsFileIfMissing();

    std::vector<std::string> GetPlaces() const { return places; }
    std::vector<std::string> GetPositions() const { return positions; }
    // The records actually read, whatever count the file states.
    int RecordCount() const { return static_cast<int>(records.size()); }
    TRecord GetRecord(int index) const;
    // True when the folder held no data file and a new journal is written.
    bool IsNewJournal() const { return newJournal_; }
    // The decimal separator the data file's dates were found written with,
    // or 0 when none showed one. Close writes them back with it.
    char DecimalSeparator() const { return decimalSeparator_; }
    // The legacy settings, while the journal is open (until Close).
    const TIniFile* GetSettings() const { return iniFile.get(); }
    // Every text of the journal as it stores them (places, positions, record
    // texts), while the store lives.
    std::vector<std::string_view> Texts() const;
    // The code pages that spell the password as the bytes that opened the
    // journal, where those are not the chosen code page's spelling (nor the
    // password as typed); empty otherwise.
    const std::vector<int>& PasswordCodePages() const { return passwordPages_; }
    // How the data file was enciphered; meaningless for a plain one.
    CipherScheme Scheme() const { return scheme_; }
    // The data file was plain, and no password was given.
    bool OpenedPlain() const { return openedPlain_; }
    // What was (or, when only inspecting, would be) done with a working copy
    // an interrupted run left.
    const LeftoverResolution& Leftover() const { return leftover_; }

  private:
    // What the folder holds compared with what the run found, and so what
    // Restore must do to put it back. Enter() is the one place the state
    // changes; every change of the folder is preceded by one.
    enum class State {
        kClean,       // nothing to undo
        kCopied,      // the working copy is taken; the data file is as found
        kNarrowed,    // ... and the plain data file is its owner's alone
        kDeciphered,  // the data file may differ from the working copy
        kClosed,      // written back and enciphered again; the copy still waits
        kCreating,    // there was no data file: the one being written goes again
        kClosedNew,   // ... written and enciphered
        kSettled,     // closed and the backups moved on: nothing to undo
    };

    TDreamBase(platform::Folder& folder, const Options& options, platform::Reporter& reporter);
    platform::Status OpenJournal();
    platform::FileKind ExamineDataFile();
    void RefuseWithoutJournal();
    std::string WhereBackupsMayHoldIt() const;
    bool AskPassword(std::string* typed);
    bool FindKey(const std::string& bytes);
    bool TryPassword(const std::string& typed, const std::string& bytes);
    platform::Status WrongPassword(const std::string& why = std::string());
    void SayIfNotPrivate();
    bool IsWorkingCopyOfData();
    void Enter(State next);
    bool IsClosed() const;
    void Restore();
    void Load();
    void Save();

    platform::Folder& folder_;
    // The names of the files in the folder.
    std::string DATA_F_NAME;
    std::string RESERV_1;
    std::string RESERV_2;
    std::string workingCopy_;
    std::string password;
    int codePage_;
    bool codePageChosen_;
    std::function<bool(std::string*)> askPassword_;
    int passwordTries_ = 0;
    std::function<void()> confirmNewJournal_;
    bool inspectOnly_;
    LeftoverResolution leftover_;
    platform::Reporter& reporter_;

    // The deciphered journal, from Open until BeginChanges lays it in place.
    std::string plain_;
    bool openedPlain_ = false;  // the data file was plain and no password given
    std::vector<int> passwordPages_;

    int32_t recordCount = 0;  // as the data file states it
    std::vector<std::string> places;
    std::vector<std::string> positions;
    std::vector<TRecord> records;
    std::unique_ptr<TIniFile> iniFile;
    char decimalSeparator_ = 0;

    CipherScheme scheme_ = CipherScheme::kCurrent;
    platform::FileOwnership ownership_;  // the data file's, as found
    State state_ = State::kClean;
    bool newJournal_ = false;
    bool privacyTold_ = false;  // there was no data file
    std::unique_ptr<platform::RecoveryAction> recovery_;
};
