#include "convert1_1to2_0/CodePageCheck.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "platform/text/CodePage.h"

namespace {

// What a character is to the judgement.
enum Kind : uint8_t {
    kBreak,      // blanks, digits, punctuation: ends a word
    kJoin,       // inside a word without being a letter: soft hyphen, apostrophe, ...
    kOddBefore,  // a sign no letter ever follows: superscripts, fractions, spacing accents
    kOpening,    // "¿" and "¡", which no letter ever precedes
    kUndefined,  // a byte the code page leaves undefined
    kLetter,
    kMark,  // a combining accent or vowel sign, part of the letter before it
};

enum Script : uint8_t { kNoScript, kLatin, kCyrillic, kGreek, kHebrew, kArabic, kThai };

enum Flags : uint8_t {
    kUpper = 1,
    kLower = 2,
    kAscii = 4,
    kLookAlike = 8,   // looks like a letter of another script
    kFinalForm = 16,  // the form a letter takes at the end of a word: "ς", "ם"
};

struct CharInfo {
    Kind kind = kBreak;
    Script script = kNoScript;
    uint8_t flags = 0;
    char16_t folded = 0;  // Latin letters: the lower-case letter
};

bool In(char16_t c, std::u16string_view set) {
    return set.find(c) != std::u16string_view::npos;
}

// The lower-case form of a Latin letter (the letters the code pages hold).
char16_t FoldLatin(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char16_t>(c + 0x20);
    if (c == 0x178)
        return 0xFF;  // "Ÿ"
    const bool even = c % 2 == 0;
    if ((c >= 0x100 && c <= 0x137 && even) || (c >= 0x139 && c <= 0x148 && !even) ||
        (c >= 0x14A && c <= 0x177 && even) || (c >= 0x179 && c <= 0x17E && !even) || c == 0x1A0 ||
        c == 0x1AF)
        return static_cast<char16_t>(c + 1);
    return c;
}

CharInfo Letter(Script script, bool upper, char16_t folded = 0) {
    CharInfo info;
    info.kind = kLetter;
    info.script = script;
    info.flags = upper ? kUpper : kLower;
    info.folded = folded;
    return info;
}

CharInfo Mark(Script script) {
    CharInfo info;
    info.kind = kMark;
    info.script = script;
    return info;
}

CharInfo Of(Kind kind) {
    CharInfo info;
    info.kind = kind;
    return info;
}

// Letters that look alike in Latin and Cyrillic or Greek: typed in a word of
// the other script by a slip of the keyboard layout, they make a word but
// never make it mixed.
constexpr std::u16string_view kLookAlikes =
    u"aceiopxyABCEHIKMOPTXYаеіорсухАВЕІКМНОРСТХУΑΒΕΖΗΙΚΜΝΟΡΤΥΧο";

CharInfo Classify(char16_t c) {
    CharInfo info;
    if (c < 0x80) {
        const bool upper = c >= u'A' && c <= u'Z', lower = c >= u'a' && c <= u'z';
        if (!upper && !lower)
            return Of(kBreak);
        info = Letter(kLatin, upper, FoldLatin(c));
        info.flags |= kAscii;
    } else if (c <= 0x9F || (c >= 0xE000 && c <= 0xF8FF)) {
        // What Windows reads a byte its code page leaves undefined as: the
        // control character of the same number, or a private-use one.
        return Of(kUndefined);
    } else if (In(c, u"\u00AD\u00B7\u2019\u02BC\u200C\u200D\u200E\u200F\u0640\u05BE\u05F3\u05F4")) {
        return Of(kJoin);
    } else if (In(c, u"\u00A1\u00BF")) {
        return Of(kOpening);
    } else if (In(c, u"¤¦¨¬¯±²³´¸¹¼½¾×÷¶†‡‰ˆ˜ˇ˘˛˝˙ƒ΄΅҂")) {
        return Of(kOddBefore);
    } else if ((c >= 0xC0 && c <= 0x24F) || (c >= 0x1E00 && c <= 0x1EFF)) {
        // "İ" is its own letter: Turkish writes "i" for its small form.
        const char16_t folded = FoldLatin(c);
        info = Letter(kLatin, folded != c || c == 0x130, folded);
    } else if (c >= 0x300 && c <= 0x36F) {
        return Mark(kLatin);
    } else if (c >= 0x400 && c <= 0x4FF) {
        if (c >= 0x483 && c <= 0x489)
            return Mark(kCyrillic);
        info = Letter(kCyrillic, c < 0x430 || (c >= 0x460 && c % 2 == 0));
    } else if (c == 0x386 || (c >= 0x388 && c <= 0x3CE && c != 0x3A2)) {
        info = Letter(kGreek, c < 0x3AC && c != 0x390);
        if (c == 0x3C2)
            info.flags |= kFinalForm;
    } else if (c >= 0x5B0 && c <= 0x5C7) {
        return In(c, u"\u05C0\u05C3\u05C6") ? Of(kBreak) : Mark(kHebrew);
    } else if ((c >= 0x5D0 && c <= 0x5EA) || (c >= 0x5F0 && c <= 0x5F2)) {
        info = Letter(kHebrew, false);
        info.flags = In(c, u"ךםןףץ") ? kFinalForm : 0;
    } else if ((c >= 0x621 && c <= 0x64A) || (c >= 0x671 && c <= 0x6D3)) {
        info = Letter(kArabic, false);
        info.flags = 0;
    } else if (c >= 0x64B && c <= 0x652) {
        return Mark(kArabic);
    } else if (c >= 0xE01 && c <= 0xE4E) {
        if (c == 0xE31 || (c >= 0xE34 && c <= 0xE3A) || c >= 0xE47)
            return Mark(kThai);
        if (c == 0xE3F)
            return Of(kBreak);  // the baht sign
        info = Letter(kThai, false);
        info.flags = 0;
    } else {
        return Of(kBreak);
    }
    if (In(c, kLookAlikes))
        info.flags |= kLookAlike;
    return info;
}

// The languages each code page was used for, by the Latin letters beyond
// ASCII they write with (lower case). A word's letters beyond ASCII all
// belong to one of them.
struct Orthographies {
    int codePage;
    std::vector<std::u16string_view> languages;
};

constexpr std::u16string_view kFrench = u"àâæçéèêëîïôœùûüÿ";
constexpr std::u16string_view kGerman = u"äöüßé";
constexpr std::u16string_view kSpanish = u"áéíóúüñ";
constexpr std::u16string_view kPortuguese = u"áâãàçéêíóôõúü";
constexpr std::u16string_view kItalian = u"àèéìíîòóùú";
constexpr std::u16string_view kCatalan = u"àçèéíïòóúü";
constexpr std::u16string_view kDutch = u"áéíóúàèëïöüêôûî";
constexpr std::u16string_view kNorwegian = u"æøåéèêóòôü";
constexpr std::u16string_view kSwedish = u"åäöéü";
constexpr std::u16string_view kFinnish = u"äöåšžõü";
constexpr std::u16string_view kIcelandic = u"áðéíóúýþæö";
constexpr std::u16string_view kFaroese = u"áðíóúýæø";
constexpr std::u16string_view kAlbanian = u"çë";
constexpr std::u16string_view kPolish = u"ąćęłńóśźż";
constexpr std::u16string_view kTurkish = u"âçğıîöşüûêİ";

const std::vector<Orthographies>& AllOrthographies() {
    static const std::vector<Orthographies> all = {
        {1252,
         {kFrench, kGerman, kSpanish, kPortuguese, kItalian, kCatalan, kDutch, kNorwegian, kSwedish,
          kFinnish, kIcelandic, kFaroese, kAlbanian,
          u"áéíóöõúüû"}},  // Hungarian as a Western Windows wrote it
        {1250,
         {kPolish, u"áčďéěíňóřšťúůýž", u"áäčďéíĺľňóôŕšťúýž", u"áéíóöőúüű", u"čćđšž", u"ăâîşţ",
          kAlbanian, kGerman}},
        {1254,
         {kTurkish, kFrench, kGerman, kSpanish, kPortuguese, kItalian, kCatalan, kDutch, kNorwegian,
          kSwedish, u"äöåšü", kAlbanian}},
        {1257,
         {u"ąčęėįšųūž", u"āčēģīķļņšūžōŗ", u"äõöüšž", kPolish, kGerman, kNorwegian, kSwedish,
          u"äöåšž"}},
        {1258, {u"àáâăèéêíóôơùúưđ", kFrench, kGerman, kSpanish, kNorwegian, kSwedish}},
        {1256, {kFrench}},
    };
    return all;
}

// How the judgement reads each byte in one code page.
struct ByteInfo {
    CharInfo info;
    char16_t c = 0;
    uint32_t languages = 0;  // Latin letters beyond ASCII: the page's languages that have it
};

struct PageTable {
    int codePage;
    ByteInfo bytes[256];
};

const PageTable& TableOf(int codePage) {
    static std::vector<std::unique_ptr<PageTable>> tables;
    for (const auto& table : tables) {
        if (table->codePage == codePage)
            return *table;
    }
    auto table = std::make_unique<PageTable>();
    table->codePage = codePage;
    const Orthographies* orthographies = nullptr;
    for (const Orthographies& o : AllOrthographies()) {
        if (o.codePage == codePage)
            orthographies = &o;
    }
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string read = platform::WidenCodePage(all, codePage);
    for (int b = 0; b < 256; ++b) {
        ByteInfo& byte = table->bytes[b];
        byte.c = read[static_cast<size_t>(b)];
        byte.info = Classify(byte.c);
        for (size_t n = 0; orthographies != nullptr && n < orthographies->languages.size(); ++n) {
            if (In(byte.info.folded, orthographies->languages[n]))
                byte.languages |= 1u << n;
        }
    }
    tables.push_back(std::move(table));
    return *tables.back();
}

// Walks a text one character at a time and stops at its first odd word or
// sign. `at(i)` gives the character and what it is.
template <class At>
class Scanner {
  public:
    Scanner(size_t size, At at) : size_(size), at_(at) {}

    // Once the text is read through without an odd word: true when its
    // words fit the page's languages each, but no one language together.
    bool MixesLanguages() const { return textLanguages_ == 0; }

    // True when the text holds an odd word or sign; [*start, *end) is then
    // the word, or the letters and signs around the odd sign.
    bool FindOdd(size_t* start, size_t* end) {
        for (size_t i = 0; i <= size_; ++i) {
            const ByteInfo* byte = i < size_ ? &at_(i) : nullptr;
            const Kind kind = byte != nullptr ? byte->info.kind : kBreak;
            if (kind == kLetter || kind == kMark) {
                if (Add(*byte, i))
                    return Found(i, start, end);
            } else if (kind != kJoin) {
                if (EndWord(i))
                    return Found(i, start, end);
                const bool afterLetter = previous_ == kLetter || previous_ == kMark;
                if (kind == kUndefined || (kind == kOpening && afterLetter))
                    return Found(i, start, end);
            }
            if (kind != kJoin)
                previous_ = kind;
        }
        return false;
    }

  private:
    // A letter or a mark of the word; true when that makes it odd.
    bool Add(const ByteInfo& byte, size_t i) {
        const CharInfo& info = byte.info;
        if (previous_ == kOddBefore)
            return true;
        if (letters_ == 0 && wordStart_ == kNone)
            wordStart_ = i;
        if (info.kind == kMark)
            return letters_ == 0 || info.script != lastScript_;
        // A letter after the form that ends a word.
        if (lastFlags_ & kFinalForm)
            return true;
        ++letters_;
        lastScript_ = info.script;
        if (!(info.flags & kLookAlike))
            scripts_ |= 1u << info.script;
        const bool ascii = info.flags & kAscii;
        if (ascii && info.script == kLatin)
            ++asciiLatin_;
        if (!ascii && info.script == kLatin) {
            ++otherLatin_;
            languages_ &= byte.languages;
        }
        if ((info.flags & kUpper) && (lastFlags_ & kLower) && !(ascii && (lastFlags_ & kAscii)))
            caseFlip_ = true;
        lastFlags_ = info.flags;
        return false;
    }

    // True when the word that ends before `i` is odd.
    bool EndWord(size_t i) {
        if (wordStart_ == kNone)
            return false;
        const bool mixed = (scripts_ & (scripts_ - 1)) != 0;
        const bool foreign = otherLatin_ >= 3 && asciiLatin_ == 0 && scripts_ == 1u << kLatin;
        const bool odd = mixed || foreign || caseFlip_ || (otherLatin_ > 0 && languages_ == 0);
        if (odd) {
            wordEnd_ = i;
            return true;
        }
        if (otherLatin_ > 0)
            textLanguages_ &= languages_;
        wordStart_ = kNone;
        letters_ = asciiLatin_ = otherLatin_ = 0;
        scripts_ = 0;
        languages_ = ~0u;
        caseFlip_ = false;
        lastFlags_ = 0;
        lastScript_ = kNoScript;
        return false;
    }

    // The odd word, or the letters and signs around an odd sign at `i`.
    bool Found(size_t i, size_t* start, size_t* end) {
        if (wordEnd_ != kNone) {
            *start = wordStart_;
            *end = wordEnd_;
            return true;
        }
        auto inWord = [this](size_t n) {
            const Kind kind = at_(n).info.kind;
            return kind != kBreak && kind != kUndefined;
        };
        *start = i;
        while (*start > 0 && inWord(*start - 1))
            --*start;
        *end = i + 1;
        while (*end < size_ && inWord(*end))
            ++*end;
        return true;
    }

    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t size_;
    At at_;
    Kind previous_ = kBreak;
    size_t wordStart_ = kNone;
    size_t wordEnd_ = kNone;
    int letters_ = 0, asciiLatin_ = 0, otherLatin_ = 0;
    uint32_t scripts_ = 0;
    uint32_t languages_ = ~0u;
    uint32_t textLanguages_ = ~0u;
    bool caseFlip_ = false;
    uint8_t lastFlags_ = 0;
    Script lastScript_ = kNoScript;
};

template <class At>
Scanner<At> MakeScanner(size_t size, At at) {
    return Scanner<At>(size, at);
}

// What a text looks like in a code page.
enum TextState : uint8_t {
    kClean,
    kMixedLanguages,  // no odd word, but letters of several languages
    kOdd,
};

TextState Judge(std::string_view text, const PageTable& table) {
    // Texts of ASCII alone read alike in every page, and cleanly.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; }))
        return kClean;
    size_t start, end;
    auto scanner = MakeScanner(text.size(), [&](size_t i) -> const ByteInfo& {
        return table.bytes[static_cast<unsigned char>(text[i])];
    });
    if (scanner.FindOdd(&start, &end))
        return kOdd;
    return scanner.MixesLanguages() ? kMixedLanguages : kClean;
}

// The script most letters beyond ASCII of `texts` are read in, in a page.
Script ScriptOfReading(const PageTable& table, const std::vector<std::string_view>& texts,
                       const std::vector<size_t>& which) {
    size_t counts[kThai + 1] = {};
    for (size_t i : which) {
        for (char c : texts[i]) {
            const CharInfo& info = table.bytes[static_cast<unsigned char>(c)].info;
            if ((c & 0x80) != 0 && info.kind == kLetter)
                ++counts[info.script];
        }
    }
    return static_cast<Script>(std::max_element(counts, counts + kThai + 1) - counts);
}

size_t PreferenceOf(int codePage) {
    const std::vector<int>& pages = PreferredCodePages();
    return static_cast<size_t>(std::find(pages.begin(), pages.end(), codePage) - pages.begin());
}

}  // namespace

std::u16string FindOddWord(std::string_view text, int codePage) {
    const PageTable& table = TableOf(codePage);
    size_t start, end;
    auto scanner = MakeScanner(text.size(), [&](size_t i) -> const ByteInfo& {
        return table.bytes[static_cast<unsigned char>(text[i])];
    });
    if (!scanner.FindOdd(&start, &end))
        return std::u16string();
    std::u16string word;
    for (size_t i = start; i < end; ++i)
        word.push_back(table.bytes[static_cast<unsigned char>(text[i])].c);
    return word;
}

std::u16string FindOddWord(std::u16string_view text, int codePage) {
    std::vector<ByteInfo> read(text.size());
    const Orthographies* orthographies = nullptr;
    for (const Orthographies& o : AllOrthographies()) {
        if (o.codePage == codePage)
            orthographies = &o;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        read[i].c = text[i];
        read[i].info = Classify(text[i]);
        for (size_t n = 0; orthographies != nullptr && n < orthographies->languages.size(); ++n) {
            if (In(read[i].info.folded, orthographies->languages[n]))
                read[i].languages |= 1u << n;
        }
    }
    size_t start, end;
    if (!MakeScanner(read.size(), [&](size_t i) -> const ByteInfo& {
             return read[i];
         }).FindOdd(&start, &end))
        return std::u16string();
    return std::u16string(text.substr(start, end - start));
}

const std::vector<int>& PreferredCodePages() {
    static const std::vector<int> pages = {1252, 1250, 1251, 1257, 1254,
                                           1253, 1258, 1255, 1256, 874};
    return pages;
}

std::string DescribeCodePage(int codePage) {
    return "code page " + std::to_string(codePage) + " (" + platform::CodePageName(codePage) + ")";
}

CodePageJudgement::CodePageJudgement(std::vector<std::string_view> texts)
    : texts_(std::move(texts)) {}

const std::vector<uint8_t>& CodePageJudgement::StatesIn(int codePage) {
    for (auto& [page, states] : states_) {
        if (page == codePage)
            return states;
    }
    const PageTable& table = TableOf(codePage);
    std::vector<uint8_t> states(texts_.size());
    for (size_t i = 0; i < texts_.size(); ++i)
        states[i] = Judge(texts_[i], table);
    states_.emplace_back(codePage, std::move(states));
    return states_.back().second;
}

CodePageReading CodePageJudgement::Read(int codePage) {
    const std::vector<uint8_t>& states = StatesIn(codePage);
    CodePageReading reading;
    reading.codePage = codePage;
    bool shown = false;
    for (size_t i = 0; i < texts_.size(); ++i) {
        reading.mixedTexts += states[i] == kMixedLanguages ? 1 : 0;
        if (states[i] != kOdd)
            continue;
        ++reading.oddTexts;
        // The example is shown to the user: none with a control character
        // (an undefined byte).
        if (!shown) {
            reading.example = FindOddWord(texts_[i], codePage);
            shown = std::none_of(reading.example.begin(), reading.example.end(),
                                 [](char16_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); });
        }
    }
    if (!shown)
        reading.example.clear();
    return reading;
}

int CodePageJudgement::BetterPage(int chosen) {
    const std::vector<uint8_t> inChosen = StatesIn(chosen);
    std::vector<size_t> odd;
    for (size_t i = 0; i < texts_.size(); ++i) {
        if (inChosen[i] == kOdd)
            odd.push_back(i);
    }
    if (odd.empty())
        return 0;
    // The texts odd in `chosen`, read in every other page.
    const std::vector<int>& pages = PreferredCodePages();
    std::vector<std::vector<uint8_t>> oddIn(pages.size());
    std::vector<bool> oddEverywhere(odd.size(), true);
    for (size_t p = 0; p < pages.size(); ++p) {
        if (pages[p] == chosen)
            continue;
        const PageTable& table = TableOf(pages[p]);
        for (size_t n = 0; n < odd.size(); ++n) {
            oddIn[p].push_back(Judge(texts_[odd[n]], table));
            oddEverywhere[n] = oddEverywhere[n] && oddIn[p].back() == kOdd;
        }
    }
    // The qualifying pages by their odd texts, then the texts that mix
    // languages in them, then by preference.
    std::vector<std::tuple<size_t, size_t, size_t>> qualified;
    for (size_t p = 0; p < pages.size(); ++p) {
        if (pages[p] == chosen)
            continue;
        size_t cleaned = 0, left = 0, everywhere = 0, mixed = 0;
        for (size_t n = 0; n < odd.size(); ++n) {
            const bool stillOdd = oddIn[p][n] == kOdd;
            cleaned += stillOdd ? 0 : 1;
            left += stillOdd && !oddEverywhere[n] ? 1 : 0;
            everywhere += oddEverywhere[n] ? 1 : 0;
            mixed += oddIn[p][n] == kMixedLanguages ? 1 : 0;
        }
        if (cleaned == 0 || left * 10 > cleaned)
            continue;
        // The texts clean in `chosen` that turn odd: looked at until there
        // are too many of them.
        const PageTable& table = TableOf(pages[p]);
        size_t turned = 0;
        for (size_t i = 0; i < texts_.size() && (left + turned) * 10 <= cleaned; ++i) {
            if (inChosen[i] == kOdd)
                continue;
            const TextState state = Judge(texts_[i], table);
            turned += state == kOdd ? 1 : 0;
            mixed += state == kMixedLanguages ? 1 : 0;
        }
        if ((left + turned) * 10 > cleaned)
            continue;
        qualified.emplace_back(left + everywhere + turned, mixed, p);
    }
    if (qualified.empty())
        return 0;
    std::sort(qualified.begin(), qualified.end());
    // Pages that read the texts as well but in another script leave it open
    // which one the journal is in: Hebrew letters are Cyrillic ones in 1251.
    auto scriptOf = [&](size_t p) {
        std::vector<size_t> cleaned;
        for (size_t n = 0; n < odd.size(); ++n) {
            if (oddIn[p][n] != kOdd)
                cleaned.push_back(odd[n]);
        }
        return ScriptOfReading(TableOf(pages[p]), texts_, cleaned);
    };
    const size_t best = std::get<2>(qualified.front());
    for (const auto& [oddTexts, mixed, p] : qualified) {
        if (oddTexts == std::get<0>(qualified.front()) && mixed == std::get<1>(qualified.front()) &&
            scriptOf(p) != scriptOf(best))
            return 0;
    }
    return pages[best];
}

int CodePageJudgement::BestOf(const std::vector<int>& pages, std::vector<int>* equal) {
    std::vector<std::tuple<int, int, size_t, int>> readings;  // odd, mixed, preference, page
    for (int page : pages) {
        const CodePageReading reading = Read(page);
        readings.emplace_back(reading.oddTexts, reading.mixedTexts, PreferenceOf(page), page);
    }
    std::sort(readings.begin(), readings.end());
    equal->clear();
    for (size_t i = 1; i < readings.size(); ++i) {
        if (std::get<0>(readings[i]) == std::get<0>(readings[0]) &&
            std::get<1>(readings[i]) == std::get<1>(readings[0]))
            equal->push_back(std::get<3>(readings[i]));
    }
    return std::get<3>(readings.front());
}
