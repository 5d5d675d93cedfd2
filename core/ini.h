#pragma once

#include <map>
#include <string>

#include "platform/Reporter.h"
#include "platform/os/Env.h"

// The settings of the journal application: "ini.txt" in the journal folder,
// loaded when the object is made and written back in full when it goes. The
// folder must outlive the object.
//
// One entry per line: the key (no white space), one blank, the value (the rest
// of the line, blanks included). Entries are written in ascending byte order of
// their keys, each line ending in CR LF.
//
// Settings never change what the converter does, so no file problem stops the
// run: it is reported as a warning to the reporter and the defaults stand.
class TIni {
  public:
    TIni(platform::Folder& folder, platform::Reporter& reporter);
    ~TIni();
    TIni(const TIni&) = delete;
    TIni& operator=(const TIni&) = delete;

    // The settings are not written when the object goes: the run that made
    // it failed, and leaves the file as it was.
    void Discard();

    std::string FileName;                     // the file's path when it was loaded
    std::map<std::string, std::string> Data;  // keys compare byte by byte; what is written

    // True when there was no file: the one written is new, and values may be
    // put into Data before it is. An existing file keeps what it holds.
    bool IsNew() const { return isNew_; }
    // False when the file cannot be read: it is left as it is.
    bool WillBeWritten() const { return saveOnExit_; }

  private:
    void Load();
    void Parse(const std::string& text);
    void Store() noexcept;

    platform::Folder& folder_;
    platform::Reporter& reporter_;
    // False when the file was there but could not be read: writing the
    // defaults over it would destroy the user's settings.
    bool saveOnExit_ = true;
    bool isNew_ = false;
};
