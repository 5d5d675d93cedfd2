#include "convert1_1to2_0/ConvertJournal.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/DocumentProof.h"
#include "convert1_1to2_0/CommandLine.h"
#include "convert1_1to2_0/DreamBase.h"
#include "convert1_1to2_0/FontSettings.h"
#include "convert1_1to2_0/JournalFolder.h"
#include "convert1_1to2_0/LucidMarkers.h"
#include "convert1_1to2_0/MemoryCheck.h"
#include "convert1_1to2_0/NumberedName.h"
#include "convert1_1to2_0/OldDocument.h"
#include "core/DreamBinding.h"
#include "core/JournalFiles.h"
#include "core/dream.h"
#include "platform/os/Env.h"
#include "platform/os/Fatal.h"
#include "platform/os/Interrupt.h"
#include "platform/text/CodePage.h"
#include "platform/text/Numbers.h"
#include "platform/text/Utf16.h"
#include "platform/xml/ComponentModel.h"

namespace {

// Legacy places and positions count from 1 with 0 for none; the document
// indexes its lists from 0 with -1 for none. Wraps rather than overflows on a
// number no journal holds.
int32_t ToListIndex(int32_t number) {
    return static_cast<int32_t>(static_cast<uint32_t>(number) - 1u);
}

// Blanks every entry the document's list holds, in place (dreams refer to
// entries by position), then puts the legacy entries in front of them, in
// their legacy order.
template <class List>
void CopyList(DreamEngine& engine, int (DreamEngine::*count)(), void (DreamEngine::*clear)(int),
              List list, const std::vector<std::string>& legacy, int codePage) {
    for (int i = 0; i < (engine.*count)(); ++i)
        (engine.*clear)(i);
    for (size_t n = legacy.size(); n-- > 0;)
        list()->Insert(0, platform::WidenCodePage(legacy[n], codePage));
}

void CopyRecord(DreamEngine& engine, const TRecord& record, int codePage) {
    IXMLDreamTypePtr dream = engine.GetContents()->Get_Dreams()->Add();
    dream->Set_Dt(static_cast<double>(record.date));
    dream->Set_Clock(record.clock);
    dream->Set_Subject(u"");
    dream->Set_Type(record.lucid ? 1 : 0);
    dream->Set_Place(ToListIndex(record.place));
    dream->Set_Position(ToListIndex(record.position));
    dream->Set_Duration(0);
    dream->Set_Clarity(record.clarity);
    dream->Set_Text(platform::WidenCodePage(ConvertLucidMarkers(record.text), codePage));
}

// Copies the legacy lists and records into the engine's document and saves
// it.
void CopyJournal(DreamEngine& engine, const TDreamBase& legacy, int codePage,
                 ConversionReport* report) {
    // The document's dates as the journal's own Windows wrote them. The
    // choice ends with the document; the legacy store keeps its own.
    platform::ScopedDecimalSeparator separator(legacy.DecimalSeparator());
    const std::vector<std::string> places = legacy.GetPlaces();
    const std::vector<std::string> positions = legacy.GetPositions();
    CopyList(
        engine, &DreamEngine::PlacesCount, &DreamEngine::ClearPlace,
        [&] { return engine.GetContents()->Get_Places(); }, places, codePage);
    CopyList(
        engine, &DreamEngine::PositionsCount, &DreamEngine::ClearPosition,
        [&] { return engine.GetContents()->Get_Positions(); }, positions, codePage);
    for (int i = 0; i < legacy.RecordCount(); ++i) {
        platform::CheckForInterrupt();
        const TRecord record = legacy.GetRecord(i);
        CopyRecord(engine, record, codePage);
        report->lucidDreams += record.lucid ? 1 : 0;
    }
    platform::CheckForInterrupt();
    engine.Save();
    report->dreams = legacy.RecordCount();
    report->places = static_cast<int>(places.size());
    report->positions = static_cast<int>(positions.size());
}

void CheckCodePage(int codePage) {
    if (platform::IsSupportedCodePage(codePage))
        return;
    throw platform::Error(platform::Status::Make(platform::StatusCode::kNotSupported,
                                                 "code page " + std::to_string(codePage) +
                                                     " is not supported; use one of " +
                                                     platform::SupportedCodePageList()));
}

// A document that failed its proof must not stand as the journal, nor be
// lost: the bug that made it shows in it. It takes a name that says so.
[[noreturn]] void Reject(const std::string& document, const platform::Status& why) {
    const std::string rejected = RenameToFirstFreeNumberedName(
        platform::Env::Current(), document, platform::FolderOf(document), journal_files::kDocument,
        journal_files::kRejectedDocumentSuffix);
    throw platform::Error(why.Adding("that document is kept as " + platform::Quoted(rejected) +
                                     " for a report of the fault"));
}

bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

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

// Where there is no journal: a person at the console decides whether a new
// one is made. Throws platform::Error to refuse, with nothing changed.
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

// The code page the journal's texts are read in: the one given or taken by
// default, or the one the password was spelled in; another where the texts
// look written in it and a person at the console agrees. `warning` receives
// what to say at the end of the run when nobody was asked.
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

// What a wrong password may mean, for one with letters beyond ASCII.
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

}  // namespace

ConversionReport ConvertJournal(const ConversionOptions& options, platform::Reporter& reporter) {
    CheckCodePage(options.codePage);
    // Ctrl-C and the like now unwind through the same restore as an error.
    platform::InterruptHandling interrupts;
    ConversionReport report;
    platform::InitializeComponentModel();
    JournalFolder folder;
    // Before anything in the folder changes.
    CheckJournalFitsInMemory(folder.path());
    folder.RemoveLeftoverTemporaries();
    OldDocument::RecoverInterruptedRun(folder.path(), reporter);

    TDreamBase::Options legacyOptions;
    legacyOptions.password = options.password;
    legacyOptions.codePage = options.codePage;
    legacyOptions.codePageChosen = options.codePageChosen;
    bool beyondAscii = !IsAscii(options.password);
    if (options.askPassword)
        legacyOptions.askPassword = [&](std::string* password) {
            const bool read = options.askPassword(password);
            beyondAscii = beyondAscii || (read && !IsAscii(*password));
            return read;
        };
    legacyOptions.confirmNewJournal = [&] { ConfirmNewJournal(options, folder.path(), reporter); };
    std::unique_ptr<TDreamBase> legacy;
    const platform::Status opened = TDreamBase::Open(legacyOptions, reporter, &legacy);
    if (opened.Is(platform::StatusCode::kWrongKey)) {
        if (beyondAscii)
            ExplainWrongPassword(options, reporter);
        return report;
    }
    platform::ThrowIfFailed(opened);
    report.opened = true;

    // Judged before anything in the folder changes: a question, or a signal
    // while it waits, leaves the folder as it was found.
    std::string warning;
    const int codePage = ChooseCodePage(options, *legacy, reporter, &warning);
    legacy->BeginChanges();

    OldDocument oldDocument(legacy->GetFolder(), reporter);
    auto engine = std::make_unique<DreamEngine>(true, reporter);
    CarryFontSettings(*legacy->GetSettings(), engine->GetSettings(), reporter);
    try {
        CopyJournal(*engine, *legacy, codePage, &report);
        report.documentPath = platform::JoinPath(engine->GetFolder(), journal_files::kDocument);

        // The document proves itself before anything is let go: read back
        // from disk and compared with the journal as read, on the second
        // core while the legacy store writes the data file back and
        // enciphers it. Then the old document takes its backup name.
        std::string saved;
        platform::ThrowIfFailed(
            platform::ReadWholeFile(platform::Env::Current(), report.documentPath, &saved));
        BackgroundProof proof(std::move(saved), report.documentPath, *legacy, codePage);
        legacy->Close();
        const platform::Status proved = proof.Result();
        if (!proved.ok())
            Reject(report.documentPath, proved);
        report.verified = true;
        oldDocument.Keep();
        report.setAsidePath = oldDocument.keptAs();
        report.setAsideBefore = oldDocument.keptBefore();
    } catch (...) {
        engine->DiscardSettings();  // a failed run writes no settings
        throw;
    }

    // The conversion is complete and stays so: what follows only moves the
    // backups on and makes the settings and the folder durable. A failure
    // here is reported as such, never undone.
    try {
        legacy->RotateBackups();
        legacy->CreateSettingsFileIfMissing();
        if (legacy->IsNewJournal())
            reporter.Note("no journal (no data file \"data\") was found in " +
                          platform::Quoted(folder.path()) + "; an empty one was created");
        legacy.reset();
        engine.reset();  // writes the settings
        folder.Sync();
    } catch (const platform::Error& error) {
        report.unfinished = error.status();
    } catch (const std::exception& error) {
        report.unfinished = platform::Status::Make(platform::StatusCode::kIoError, error.what());
    }
    // The output stands either way; the user decides whether to run again.
    if (!warning.empty() && report.unfinished.ok())
        reporter.Warning(warning);
    return report;
}

bool ConvertJournal(std::string password, platform::Reporter& reporter) {
    ConversionOptions options;
    options.password = std::move(password);
    return ConvertJournal(options, reporter).opened;
}
