#include "convert1_1to2_0/JournalQuestions.h"

#include <algorithm>

#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/CommandLine.h"
#include "convert1_1to2_0/DreamBase.h"
#include "core/JournalFiles.h"
#include "platform/os/Interrupt.h"
#include "platform/text/CodePage.h"
#include "platform/text/Password.h"
#include "platform/text/Utf16.h"

namespace {

std::string Plural(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "1254, 1256 and 1258".
std::string ListOf(const std::vector<int>& pages) {
    std::string list;
    for (size_t i = 0; i < pages.size(); ++i)
        list += (i == 0 ? "" : i + 1 == pages.size() ? " and " : ", ") + std::to_string(pages[i]);
    return list;
}

}  // namespace

platform::Status OpenLegacyJournal(platform::Folder& folder, const std::string& folderPath,
                                   const ConversionOptions& options, bool inspectOnly,
                                   platform::Reporter& reporter,
                                   std::unique_ptr<TDreamBase>* legacy) {
    TDreamBase::Options legacyOptions;
    legacyOptions.password = options.password;
    legacyOptions.codePage = options.codePage;
    legacyOptions.codePageChosen = options.codePageChosen;
    legacyOptions.inspectOnly = inspectOnly;
    bool beyondAscii = !platform::IsAscii(options.password);
    if (options.askPassword)
        legacyOptions.askPassword = [&](std::string* password) {
            const bool read = options.askPassword(password);
            beyondAscii = beyondAscii || (read && !platform::IsAscii(*password));
            return read;
        };
    legacyOptions.confirmNewJournal = [&] { ConfirmNewJournal(options, folderPath, reporter); };
    const platform::Status opened = TDreamBase::Open(folder, legacyOptions, reporter, legacy);
    if (opened.Is(platform::StatusCode::kWrongKey)) {
        if (beyondAscii)
            ExplainWrongPassword(options, reporter);
        return opened;
    }
    platform::ThrowIfFailed(opened);
    return platform::Status::OK();
}

void CheckCodePage(int codePage) {
    if (platform::IsSupportedCodePage(codePage))
        return;
    throw platform::Error(platform::Status::Make(platform::StatusCode::kNotSupported,
                                                 "code page " + std::to_string(codePage) +
                                                     " is not supported; use one of " +
                                                     platform::SupportedCodePageList()));
}

void ConfirmNewJournal(const ConversionOptions& options, const std::string& folder,
                       platform::Reporter& reporter) {
    const std::string none = "no journal in " + platform::Quoted(folder) + " (no file \"" +
                             journal_files::kDataFile + "\")";
    if (options.passwordLooksLikeOption)
        throw platform::Error(platform::Status::Make(
            platform::StatusCode::kNotFound,
            none + ", and " + platform::Quoted(options.password) +
                " is no option; the options are " + kOptionList +
                ". To make a new journal whose password begins with \"-\", give it after \"--\": "
                "convert1_1to2_0 -- " +
                options.password));
    if (!reporter.PersonPresent())
        return;  // a script gets the new journal it always got, and a note
    std::string answer;
    const bool answered =
        reporter.Ask("No journal in " + platform::Quoted(folder) + " (no file \"" +
                         journal_files::kDataFile + "\"). Create a new, empty journal here? [y/N] ",
                     &answer);
    if (!answered)
        platform::CheckForInterrupt();
    if (answered && platform::IsYes(answer))
        return;
    throw platform::Error(platform::Status::Make(
        platform::StatusCode::kNotFound,
        none +
            "; nothing was created. Run the program in the folder that holds the journal's "
            "file \"" +
            journal_files::kDataFile + "\""));
}

int ChooseCodePage(const ConversionOptions& options, const TDreamBase& legacy,
                   platform::Reporter& reporter, std::string* warning) {
    CodePageJudgement judgement(legacy.Texts());
    int codePage = options.codePage;
    const std::vector<int>& passwordPages = legacy.PasswordCodePages();
    if (!passwordPages.empty()) {
        std::vector<int> equal;
        codePage = judgement.BestOf(passwordPages, &equal);
        std::sort(equal.begin(), equal.end());
        std::string note = "the password opens the journal only as " + DescribeCodePage(codePage) +
                           " spells it, so its texts are read in " + std::to_string(codePage) +
                           " rather than " + std::to_string(options.codePage);
        const bool one = equal.size() == 1;
        if (!equal.empty())
            note += ". Code page" + std::string(one ? " " : "s ") + ListOf(equal) +
                    (one ? " spells" : " spell") + " the password alike and read" +
                    (one ? "s" : "") +
                    " the texts as well; if the journal was kept on such a Windows, run again "
                    "with --codepage=N";
        reporter.Note(note + ".");
    }
    const int better = judgement.BetterPage(codePage);
    if (better == 0)
        return codePage;
    if (options.codePageChosen || !reporter.PersonPresent()) {
        // The user may have guessed the page wrong; a script is told.
        const CodePageReading reading = judgement.Read(codePage);
        *warning = Plural(static_cast<size_t>(reading.oddTexts), "text", "texts") +
                   " of the journal look" + (reading.oddTexts == 1 ? "s" : "") + " wrong in " +
                   DescribeCodePage(codePage) +
                   (reading.example.empty()
                        ? std::string()
                        : ", such as " + platform::Quoted(platform::Utf16ToUtf8(reading.example))) +
                   "; " + DescribeCodePage(better) + " reads " +
                   (reading.oddTexts == 1 ? "it" : "them") +
                   " cleanly. If the journal was kept on a " + platform::CodePageName(better) +
                   " Windows, run again with --codepage=" + std::to_string(better) + ".";
        return codePage;
    }
    std::string answer;
    const bool answered =
        reporter.Ask("The texts look like " + DescribeCodePage(better) + ", not " +
                         std::to_string(codePage) + " (" + platform::CodePageName(codePage) +
                         "). Convert them as " + std::to_string(better) + "? [Y/n] ",
                     &answer);
    if (!answered)
        platform::CheckForInterrupt();
    if (!answered || platform::IsYes(answer) ||
        answer.find_first_not_of(" \t") == std::string::npos)
        return better;
    throw platform::Error(platform::Status::Make(
        platform::StatusCode::kCorrupt,
        "the texts were not converted, as they look wrong in " + DescribeCodePage(codePage) +
            ". To convert them in it all the same, run again with --codepage=" +
            std::to_string(codePage) + "; or give the code page they were written in"));
}

void ExplainWrongPassword(const ConversionOptions& options, platform::Reporter& reporter) {
    if (options.codePageChosen)
        reporter.Note("the password has letters beyond ASCII, and was tried as " +
                      DescribeCodePage(options.codePage) +
                      " spells it; a journal kept on another Windows may need "
                      "--codepage=N with that Windows' code page, or no --codepage at all, to "
                      "try each");
    else
        reporter.Note(
            "the password has letters beyond ASCII; it was tried as typed and as each code page "
            "that can spell it spells it (" +
            platform::SupportedCodePageList() +
            "), so --codepage=N will not open the journal either: check the password's letters "
            "and the keyboard layout it was typed in");
}
