#include "convert1_1to2_0/IniFile.h"

#include <cstdint>
#include <memory>
#include <utility>

#include "core/JournalFiles.h"
#include "platform/os/Env.h"
#include "platform/text/TextMode.h"

namespace {

// The longest text value the older release could hold (a 64-byte buffer).
constexpr size_t kMaxTextLength = 63;
// Eighteen settings take a few hundred bytes; a larger file is not one.
constexpr size_t kMaxFileSize = 1 << 20;

// Reads the settings text the way the older release's text stream did:
// white-space separated tokens, numbers and rest-of-line texts after keys.
class SettingsReader {
  public:
    SettingsReader(const std::string& text, const std::string& fileName,
                   platform::Reporter& reporter)
        : text_(text), fileName_(fileName), reporter_(reporter) {}

    void Read(std::map<std::string, int32_t>& ints, std::map<std::string, std::string>& strs,
              std::set<std::string>& read) {
        std::string word;
        // A word that runs into the end of the file ends the reading: a key
        // there has no value to go with it.
        while (NextWord(&word) && pos_ < text_.size()) {
            auto intKey = ints.find(word);
            if (intKey != ints.end()) {
                int32_t value = 0;
                if (!ReadNumber(word, &value))
                    return;
                intKey->second = value;
                read.insert(word);
            }
            auto strKey = strs.find(word);
            if (strKey != strs.end()) {
                std::string value;
                if (!ReadLine(word, &value))
                    return;
                strKey->second = std::move(value);
                read.insert(word);
            }
        }
    }

  private:
    void SkipSpace() {
        while (pos_ < text_.size() && platform::IsStreamSpace(text_[pos_]))
            ++pos_;
    }

    bool NextWord(std::string* word) {
        SkipSpace();
        size_t start = pos_;
        while (pos_ < text_.size() && !platform::IsStreamSpace(text_[pos_]))
            ++pos_;
        word->assign(text_, start, pos_ - start);
        return pos_ > start;
    }

    // An optionally signed decimal integer, white space (line ends too)
    // before it.
    bool ReadNumber(const std::string& key, int32_t* value) {
        SkipSpace();
        if (pos_ == text_.size())
            return false;  // the file ends within the entry
        const size_t start = pos_;
        bool negative = false;
        if (text_[pos_] == '+' || text_[pos_] == '-')
            negative = text_[pos_++] == '-';
        int64_t magnitude = 0;
        bool digits = false;
        bool overflow = false;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            digits = true;
            magnitude = magnitude * 10 + (text_[pos_++] - '0');
            if (magnitude > int64_t{INT32_MAX} + 1) {
                overflow = true;
                magnitude = int64_t{INT32_MAX} + 1;  // keep counting digits, not value
            }
        }
        const int64_t signedValue = negative ? -magnitude : magnitude;
        if (!digits || overflow || signedValue > INT32_MAX || signedValue < INT32_MIN) {
            size_t end = start;
            while (end < text_.size() && !platform::IsStreamSpace(text_[end]))
                ++end;
            reporter_.Warning(platform::Quoted(fileName_) + ": the value of " + key + ", \"" +
                              text_.substr(start, end - start) +
                              "\", is not a 32-bit whole number; the rest of the file is ignored");
            return false;
        }
        *value = static_cast<int32_t>(signedValue);
        return true;
    }

    // One separator character, whatever it is, then the rest of the line.
    bool ReadLine(const std::string& key, std::string* value) {
        ++pos_;  // the word stopped at a white-space character, so there is one
        size_t end = text_.find('\n', pos_);
        const size_t stop = end == std::string::npos ? text_.size() : end;
        if (stop - pos_ > kMaxTextLength) {
            reporter_.Warning(platform::Quoted(fileName_) + ": the value of " + key +
                              " is longer than " + std::to_string(kMaxTextLength) +
                              " characters; the rest of the file is ignored");
            return false;
        }
        value->assign(text_, pos_, stop - pos_);
        pos_ = end == std::string::npos ? stop : end + 1;
        return true;
    }

    const std::string& text_;
    const std::string& fileName_;
    platform::Reporter& reporter_;
    size_t pos_ = 0;
};

}  // namespace

TIniFile::TIniFile(std::string folder, platform::Reporter& reporter)
    : FileName(platform::JoinPath(folder, journal_files::kLegacySettings)),
      IntValues{
          {"DREAM_NUM", 0},
          {"VISION_NUM", 0},
          {"MAX_TEXT", 0},
          {"MAX_VISION", 0},
          {"CRYPT", 1},
          {"LANGUAGE", 0},
          {"DREAM_FONT_SIZE", 10},
          {"DREAM_FONT_COLOR", 0},
          {"DREAM_FONT_BOLD", 0},
          {"DREAM_FONT_ITALIC", 0},
          {"DREAM_FONT_UNDERL", 0},
          {"VISION_FONT_SIZE", 12},
          {"VISION_FONT_COLOR", 0xFF0000},
          {"VISION_FONT_BOLD", 0},
          {"VISION_FONT_ITALIC", 0},
          {"VISION_FONT_UNDERL", 0},
      },
      StrValues{
          {"DREAM_FONT_NAME", "Lucida Console"},
          {"VISION_FONT_NAME", "Sylfaen"},
      },
      reporter_(&reporter) {
    platform::Env& env = platform::Env::Current();
    const std::string keepDefaults = "; the legacy settings keep their defaults";
    platform::FileKind kind;
    platform::Status status = env.GetFileKind(FileName, &kind);
    if (!status.ok()) {
        reporter_->Warning(status.message() + keepDefaults);
        return;
    }
    if (kind == platform::FileKind::kMissing) {
        missing_ = true;
        return;
    }
    std::string bytes;
    status = platform::ReadSmallFile(env, FileName, kMaxFileSize, &bytes);
    if (!status.ok()) {
        reporter_->Warning(status.message() + keepDefaults);
        return;
    }
    const std::string text = platform::FromTextMode(bytes);
    SettingsReader(text, FileName, *reporter_).Read(IntValues, StrValues, ReadKeys);
}

void TIniFile::CreateIfMissing() {
    if (!missing_)
        return;
    platform::Env& env = platform::Env::Current();
    std::unique_ptr<platform::WritableFile> file;
    platform::Status status = env.CreateNew(FileName, &file);
    if (status.ok())
        status = file->Close();
    if (!status.ok())
        reporter_->Warning(status.message());
    missing_ = false;
}
