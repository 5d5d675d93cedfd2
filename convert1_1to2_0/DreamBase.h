#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "convert1_1to2_0/DataFile.h"
#include "convert1_1to2_0/FileUtils.h"
#include "convert1_1to2_0/IniFile.h"
#include "platform/Fatal.h"

// The legacy journal store: the data file "data" in the current folder, with
// its backups "_data" (as found at the start of the latest run) and "__data"
// (the one before). Opening deciphers the file in place and reads it; Close
// writes it back and enciphers it again; only then, on destruction, do the
// backups rotate.
//
// While the store is open the data file lies deciphered on disk. The working
// copy "dataX", taken before anything is changed, stays until Close has
// enciphered the file again: any failure puts it back over the data file, and
// a run that finds it left over by an interrupted run does the same first.
class TDreamBase {
  public:
    // `opened` is set to false, after "Wrong password!" on standard output,
    // when the password does not open the journal. Failures of the file
    // system and unreadable journals throw. `askPassword`, when given, is
    // asked once for a password when `password` is empty and does not open
    // an enciphered journal.
    TDreamBase(std::string password, bool& opened,
               std::function<bool(std::string*)> askPassword = nullptr);
    // After Close, rotates the backups. Without Close, puts the data file
    // back as it was found.
    ~TDreamBase();
    TDreamBase(const TDreamBase&) = delete;
    TDreamBase& operator=(const TDreamBase&) = delete;

    // Writes the journal back and enciphers it with the password. Throws,
    // with the data file restored, when that fails.
    void Close();

    std::vector<std::string> GetPlaces() const { return places; }
    std::vector<std::string> GetPositions() const { return positions; }
    // The records actually read, whatever count the file states.
    int RecordCount() const { return static_cast<int>(records.size()); }
    TRecord GetRecord(int index) const;
    // The legacy settings, while the journal is open (until Close).
    const TIniFile* GetSettings() const { return iniFile.get(); }

    std::string folder;

  private:
    void Open(bool& opened);
    bool IsPlainFile(const std::string& fileName) const;
    bool GainAccess(const std::vector<std::string>& spellings);
    void RotateBackups();
    void RecoverInterruptedRun();
    void Restore();
    void Load();
    void Save();

    std::string DATA_F_NAME;
    std::string password;
    std::function<bool(std::string*)> askPassword_;
    int32_t currentRecord = 0;
    int32_t recordCount = 0;  // as the data file states it
    std::vector<int32_t> dayNumbers;
    std::vector<std::string> places;
    std::vector<std::string> positions;
    std::vector<TRecord> records;
    std::unique_ptr<TIniFile> iniFile;

    std::string RESERV_1;
    std::string RESERV_2;
    std::string workingCopy_;  // DATA_F_NAME + "X"
    CipherScheme scheme_ = CipherScheme::kCurrent;
    bool workingCopyTaken_ = false;
    bool dataChanged_ = false;  // the data file may differ from the working copy
    bool dataCreated_ = false;  // the data file is being written where there was none
    bool closed_ = false;       // written back and enciphered again
    std::unique_ptr<platform::RecoveryAction> recovery_;
};
