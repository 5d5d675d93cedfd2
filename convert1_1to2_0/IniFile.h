#pragma once

#include <cstdint>
#include <map>
#include <string>

// The settings file "ini" of the older release, read once on construction.
// The file is never written; a missing one is created empty, once the run has
// succeeded. No value read here changes what the converter does.
class TIniFile {
  public:
    // Reads folder + "/ini". Defaults stand for every key the file does not
    // give; a file that cannot be read leaves all of them, with a warning on
    // standard error.
    explicit TIniFile(std::string folder);
    // Creates the file, empty, if it was missing when it was read: the older
    // release expects it. A failure is a warning.
    void CreateIfMissing();

    std::string FileName;
    std::map<std::string, int32_t> IntValues;      // the sixteen number settings
    std::map<std::string, std::string> StrValues;  // the two font names

  private:
    bool missing_ = false;
};
