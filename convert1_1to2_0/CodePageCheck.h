#pragma once

#include <string>
#include <string_view>

// A journal kept on a Western Windows (code page 1252 and the like) but read
// as Windows-1251 turns its accented letters into Cyrillic ones inside Latin
// words: "café" reads "cafй", "Über" reads "Ьber". Russian and English text,
// even mixed in one sentence, keeps each word in one script.

// The first word of `text` that mixes Latin and Cyrillic letters, or the
// empty text. A word is a run of Latin and Cyrillic letters; anything else
// (blanks, digits, punctuation, other scripts) ends it. The word must hold a
// Latin letter and a Cyrillic letter that no letter of the other script looks
// like: "cон" typed with a Latin "c", or "hоme" with a Cyrillic "о", is a
// typing slip, not a sign of the wrong code page.
std::u16string FindMixedScriptWord(std::u16string_view text);

// Looks through a journal's record texts, as read in Windows-1251, for such
// words, and words the warning that suggests another code page.
class CodePageCheck {
  public:
    void CheckRecord(std::u16string_view text);

    int SuspectRecords() const { return suspectRecords_; }
    // The text of the warning to give; empty when no record looked wrong.
    std::string Warning() const;

  private:
    int suspectRecords_ = 0;
    std::u16string example_;  // the first word found
};
