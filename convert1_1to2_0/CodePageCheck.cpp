#include "convert1_1to2_0/CodePageCheck.h"

#include "platform/Utf16.h"

namespace {

enum class Script { kOther, kLatin, kCyrillic };

Script ScriptOf(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        return Script::kLatin;
    // Latin-1 letters (not × and ÷), Latin Extended-A and -B, Latin Extended Additional.
    if ((c >= 0x00C0 && c <= 0x024F && c != 0x00D7 && c != 0x00F7) || (c >= 0x1E00 && c <= 0x1EFF))
        return Script::kLatin;
    // Cyrillic and its supplement, without the thousands sign and the combining marks.
    if ((c >= 0x0400 && c <= 0x0481) || (c >= 0x048A && c <= 0x052F))
        return Script::kCyrillic;
    return Script::kOther;
}

// Letters that look alike in both scripts, and so slip into words of the
// other one unnoticed.
bool HasLookAlike(char16_t c) {
    static constexpr std::u16string_view kLookAlikes =
        u"aceiopxyABCEHIKMOPTXY"
        u"аеіорсухАВЕІКМНОРСТХУ";
    return kLookAlikes.find(c) != std::u16string_view::npos;
}

}  // namespace

std::u16string FindMixedScriptWord(std::u16string_view text) {
    size_t start = 0;
    bool latin = false;     // the word so far has a Latin letter without a look-alike
    bool cyrillic = false;  // ... and a Cyrillic one
    for (size_t i = 0; i <= text.size(); ++i) {
        const Script script = i < text.size() ? ScriptOf(text[i]) : Script::kOther;
        if (script == Script::kOther) {
            if (latin && cyrillic)
                return std::u16string(text.substr(start, i - start));
            start = i + 1;
            latin = cyrillic = false;
        } else if (!HasLookAlike(text[i])) {
            (script == Script::kLatin ? latin : cyrillic) = true;
        }
    }
    return std::u16string();
}

void CodePageCheck::CheckRecord(std::u16string_view text) {
    std::u16string word = FindMixedScriptWord(text);
    if (word.empty())
        return;
    if (suspectRecords_++ == 0)
        example_ = std::move(word);
}

std::string CodePageCheck::Warning() const {
    if (suspectRecords_ == 0)
        return std::string();
    const std::string count = std::to_string(suspectRecords_);
    return "Warning: " + count + (suspectRecords_ == 1 ? " record has" : " records have") +
           " words that mix Latin and Cyrillic letters, such as \"" +
           platform::Utf16ToUtf8(example_) +
           "\": the journal may not be in code page 1251. If it was kept on a Western European "
           "Windows, run again with --codepage=1252 (or with the code page that Windows used).\n";
}
