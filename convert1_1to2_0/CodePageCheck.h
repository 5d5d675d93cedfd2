#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The older release wrote its texts in the code page of the Windows it ran
// on, and nothing in the journal says which. Read in another page, the texts
// turn into words no one writes: a Western "café" read as Cyrillic is
// "cafй", a Russian "дом" read as Western is "äîì". The judgement reads the
// journal's texts in a code page and counts those holding such a word; a
// page that reads cleanly where the chosen one does not is the journal's.
//
// A word is a run of letters (and the marks that go with them); blanks,
// digits and punctuation end it. A word is odd in a code page when
// - it mixes letters of two scripts (Latin and Cyrillic, Greek, ...), apart
//   from letters that look alike in both ("cон" typed with a Latin "c",
//   "hоme" with a Cyrillic "о" are typing slips, not the wrong page);
// - it has three letters or more, all Latin letters beyond ASCII ("äîì");
// - an upper-case letter follows a lower-case one, either beyond ASCII
//   ("пЬнщ"; "iPhone" is ASCII and no sign);
// - its Latin letters beyond ASCII are not all of one language the page is
//   written in ("pøíliš" mixes Danish and Czech letters);
// - a mark (an accent, a vowel sign) starts it or follows a letter of
//   another script.
// A text is odd, too, where it holds a byte the page leaves undefined, a sign
// that never precedes a letter ("³" in "by³a") doing so, or an opening "¿"
// or "¡" right after a letter ("mo¿e").

// The first odd word of `text` (8-bit, in `codePage`) as that page reads it;
// or, where the text is odd for another reason, the run of letters and signs
// around it; empty when the text reads cleanly.
std::u16string FindOddWord(std::string_view text, int codePage);
// The same for text already read (tests): the letters' languages are those
// of `codePage`.
std::u16string FindOddWord(std::u16string_view text, int codePage);

// What the journal's texts look like in one code page.
struct CodePageReading {
    int codePage = 0;
    int oddTexts = 0;  // the texts that hold an odd word
    // The other texts whose words each fit a language of the page, but no
    // one language all of them ("Un café à Zürich" read as Baltic: "Un café
    // ą Zürich"): a weaker sign, which settles ties.
    int mixedTexts = 0;
    std::u16string example;  // the first odd word, as read in that page
};

// The judgement over the texts of one journal (places, positions, record
// texts: 8-bit, as the journal stores them; they must outlive it).
class CodePageJudgement {
  public:
    explicit CodePageJudgement(std::vector<std::string_view> texts);

    // The texts read in `codePage`.
    CodePageReading Read(int codePage);

    // The code page that reads cleanly the texts that look wrong in
    // `chosen`: of the texts odd in `chosen`, it reads some cleanly, and the
    // texts it leaves odd or makes odd are at most a tenth as many (texts odd
    // in every page do not count). Of several, the one with the fewest odd
    // texts, then the fewest that mix languages, then the first of
    // PreferredCodePages(). 0 when `chosen` reads every text cleanly, or no
    // page does better.
    int BetterPage(int chosen);

    // Of `pages` (which must not be empty), the one whose reading has the
    // fewest odd texts, then the fewest that mix languages, then the first
    // of PreferredCodePages(); *equal receives the others that read the
    // texts as well.
    int BestOf(const std::vector<int>& pages, std::vector<int>* equal);

  private:
    const std::vector<uint8_t>& StatesIn(int codePage);

    std::vector<std::string_view> texts_;
    // For each code page looked at in full: what each text looks like in it.
    std::vector<std::pair<int, std::vector<uint8_t>>> states_;
};

// The supported code pages in the order ties between them are settled: the
// most widely used first.
const std::vector<int>& PreferredCodePages();

// "code page 1251 (Cyrillic)".
std::string DescribeCodePage(int codePage);
