#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/Reporter.h"
#include "platform/os/Env.h"

// The settings file "ini" of the older release, read once on construction.
// The file is never written; a missing one is created empty, once the run has
// succeeded. No value read here changes what the converter does; the font
// settings are carried into a new "ini.txt".
class TIniFile {
  public:
    // Reads "ini" of `folder`, which must outlive the object. Defaults stand
    // for every key the file does not give; a file that cannot be read (a
    // link among them: it is not followed) leaves all of them, with a
    // warning to `reporter`.
    TIniFile(platform::Folder& folder, platform::Reporter& reporter);
    // Creates the file, empty, if it was missing when it was read: the older
    // release expects it. A failure is a warning.
    void CreateIfMissing();
    // There was no file when it was read.
    bool Missing() const { return missing_; }

    std::string FileName;                          // the file's path when it was read
    std::map<std::string, int32_t> IntValues;      // the sixteen number settings
    std::map<std::string, std::string> StrValues;  // the two font names
    // The keys whose values the file gave; the rest hold their defaults.
    std::set<std::string> ReadKeys;

  private:
    platform::Folder* folder_;
    platform::Reporter* reporter_;
    bool missing_ = false;
};
