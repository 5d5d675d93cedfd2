#include "convert1_1to2_0/CodePageCheck.h"

#include "platform/text/Utf16.h"

namespace {

// What a character counts as in a word. Letters that look alike in both
// scripts slip into words of the other one unnoticed (a Latin "c" in a
// Russian word), so they make a word but never make it mixed.
enum Kind : unsigned char { kOther, kLookAlike, kLatin, kCyrillic };

// Every character below U+0530 by kind, built at compile time: the check
// runs over every character of every record.
struct KindTable {
    Kind kinds[0x530] = {};
    constexpr KindTable() {
        for (char16_t c = u'A'; c <= u'Z'; ++c)
            kinds[c] = kinds[c + 0x20] = kLatin;
        // Latin-1 letters (not the signs × and ÷), Latin Extended-A and -B.
        for (char16_t c = 0x00C0; c <= 0x024F; ++c)
            kinds[c] = (c == 0x00D7 || c == 0x00F7) ? kOther : kLatin;
        // Cyrillic and its supplement, without the thousands sign and the
        // combining marks.
        for (char16_t c = 0x0400; c < 0x0530; ++c)
            kinds[c] = (c >= 0x0482 && c <= 0x0489) ? kOther : kCyrillic;
        for (char16_t c : std::u16string_view(u"aceiopxyABCEHIKMOPTXYаеіорсухАВЕІКМНОРСТХУ"))
            kinds[c] = kLookAlike;
    }
};
constexpr KindTable kKinds;

Kind KindOf(char16_t c) {
    if (c < 0x530)
        return kKinds.kinds[c];
    return (c >= 0x1E00 && c <= 0x1EFF) ? kLatin : kOther;  // Latin Extended Additional
}

}  // namespace

std::u16string FindMixedScriptWord(std::u16string_view text) {
    size_t start = 0;
    bool latin = false;     // the word so far has a Latin letter without a look-alike
    bool cyrillic = false;  // ... and a Cyrillic one
    for (size_t i = 0; i <= text.size(); ++i) {
        const Kind kind = i < text.size() ? KindOf(text[i]) : kOther;
        if (kind == kOther) {
            if (latin && cyrillic)
                return std::u16string(text.substr(start, i - start));
            start = i + 1;
            latin = cyrillic = false;
        } else if (kind == kLatin) {
            latin = true;
        } else if (kind == kCyrillic) {
            cyrillic = true;
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
    return count + (suspectRecords_ == 1 ? " record has" : " records have") +
           " words that mix Latin and Cyrillic letters, such as \"" +
           platform::Utf16ToUtf8(example_) +
           "\": the journal may not be in code page 1251. If it was kept on a Western European "
           "Windows, run again with --codepage=1252 (or with the code page that Windows used).";
}
