#include "convert1_1to2_0/ConvertJournal.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/CommandLine.h"
#include "convert1_1to2_0/DocumentProof.h"
#include "convert1_1to2_0/DreamBase.h"
#include "convert1_1to2_0/FontSettings.h"
#include "convert1_1to2_0/JournalFolder.h"
#include "convert1_1to2_0/JournalQuestions.h"
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
#include "platform/os/Memory.h"
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

// A document that failed its proof must not stand as the journal, nor be
// lost: the bug that made it shows in it. It takes a name that says so.
[[noreturn]] void Reject(platform::Folder& folder, const platform::Status& why) {
    const std::string rejected =
        RenameToFirstFreeNumberedName(folder, journal_files::kDocument, journal_files::kDocument,
                                      journal_files::kRejectedDocumentSuffix);
    throw platform::Error(why.Adding("that document is kept as " +
                                     platform::Quoted(folder.PathOf(rejected)) +
                                     " for a report of the fault"));
}

}  // namespace

ConversionReport ConvertJournal(const ConversionOptions& options, platform::Reporter& reporter) {
    CheckCodePage(options.codePage);
    // Ctrl-C and the like now unwind through the same restore as an error.
    platform::InterruptHandling interrupts;
    ConversionReport report;
    platform::InitializeComponentModel();
    JournalFolder folder(reporter);
    // Before anything in the folder changes.
    platform::PrepareHeapFor(CheckJournalFitsInMemory(folder.files()));
    folder.RemoveLeftoverTemporaries();
    OldDocument::RecoverInterruptedRun(folder.files(), reporter);

    std::unique_ptr<TDreamBase> legacy;
    if (OpenLegacyJournal(folder.files(), folder.path(), options, false, reporter, &legacy)
            .Is(platform::StatusCode::kWrongKey))
        return report;
    report.opened = true;

    // Judged before anything in the folder changes: a question, or a signal
    // while it waits, leaves the folder as it was found.
    std::string warning;
    const int codePage = ChooseCodePage(options, *legacy, reporter, &warning);
    legacy->BeginChanges();

    OldDocument oldDocument(folder.files(), reporter);
    auto engine = std::make_unique<DreamEngine>(folder.files(), true, reporter);
    CarryFontSettings(*legacy->GetSettings(), engine->GetSettings(), reporter);
    try {
        CopyJournal(*engine, *legacy, codePage, &report);
        report.documentPath = folder.files().PathOf(journal_files::kDocument);

        // The document proves itself before anything is let go: read back
        // from disk and compared with the journal as read, on the second
        // core while the legacy store writes the data file back and
        // enciphers it. Then the old document takes its backup name.
        std::string saved;
        platform::ThrowIfFailed(
            platform::ReadWholeFile(folder.files(), journal_files::kDocument, &saved));
        BackgroundProof proof(std::move(saved), report.documentPath, *legacy, codePage);
        legacy->Close();
        const platform::Status proved = proof.Result();
        if (!proved.ok())
            Reject(folder.files(), proved);
        report.verified = true;
        oldDocument.Keep();
        report.setAsideBefore = oldDocument.keptBefore();
    } catch (...) {
        engine->DiscardSettings();  // a failed run writes no settings
        throw;
    }

    // The conversion is complete and stays so: what follows only moves the
    // backups on and makes the settings and the folder durable. A failure
    // here is reported as such, never undone; a signal is held until the
    // run has finished.
    platform::HoldInterrupts();
    report.documentPath = folder.files().PathOf(journal_files::kDocument);
    if (!oldDocument.keptAs().empty())
        report.setAsidePath = folder.files().PathOf(oldDocument.keptAs());
    try {
        legacy->RotateBackups();
        legacy->CreateSettingsFileIfMissing();
        if (legacy->IsNewJournal())
            reporter.Note("no journal (no data file \"data\") was found in " +
                          platform::Quoted(folder.path()) + "; an empty one was created");
        legacy.reset();
        engine.reset();  // writes the settings
        folder.Sync();
        folder.SayIfMoved();
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
