#include "convert1_1to2_0/ConvertJournal.h"

#include <cstdint>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/DreamBase.h"
#include "convert1_1to2_0/FontSettings.h"
#include "convert1_1to2_0/JournalFolder.h"
#include "convert1_1to2_0/LucidMarkers.h"
#include "convert1_1to2_0/MemoryCheck.h"
#include "convert1_1to2_0/OldDocument.h"
#include "core/DreamBinding.h"
#include "core/dream.h"
#include "platform/os/Env.h"
#include "platform/os/Fatal.h"
#include "platform/os/Interrupt.h"
#include "platform/text/CodePage.h"
#include "platform/text/Numbers.h"
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

// Returns the record's text as the document holds it.
std::u16string CopyRecord(DreamEngine& engine, const TRecord& record, int codePage) {
    IXMLDreamTypePtr dream = engine.GetContents()->Get_Dreams()->Add();
    dream->Set_Dt(static_cast<double>(record.date));
    dream->Set_Clock(record.clock);
    dream->Set_Subject(u"");
    dream->Set_Type(record.lucid ? 1 : 0);
    dream->Set_Place(ToListIndex(record.place));
    dream->Set_Position(ToListIndex(record.position));
    dream->Set_Duration(0);
    dream->Set_Clarity(record.clarity);
    std::u16string text = platform::WidenCodePage(ConvertLucidMarkers(record.text), codePage);
    dream->Set_Text(text);
    return text;
}

// Copies the legacy lists and records into the engine's document and saves
// it, each record text through `check` when there is one.
void CopyJournal(DreamEngine& engine, const TDreamBase& legacy, int codePage, CodePageCheck* check,
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
        const std::u16string text = CopyRecord(engine, record, codePage);
        if (check != nullptr)
            check->CheckRecord(text);
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
    std::string pages;
    for (int page : platform::SupportedCodePages())
        pages += (pages.empty() ? "" : ", ") + std::to_string(page);
    throw std::invalid_argument("code page " + std::to_string(codePage) +
                                " is not supported; use one of " + pages);
}

}  // namespace

ConversionReport ConvertJournal(const ConversionOptions& options) {
    CheckCodePage(options.codePage);
    // Ctrl-C and the like now unwind through the same restore as an error.
    platform::InterruptHandling interrupts;
    ConversionReport report;
    platform::InitializeComponentModel();
    JournalFolder folder;
    // Before anything in the folder changes.
    CheckJournalFitsInMemory(folder.path());
    folder.RemoveLeftoverTemporaries();
    OldDocument::RecoverInterruptedRun(folder.path());

    bool opened = true;
    auto legacy = std::make_unique<TDreamBase>(options.password, opened, options.codePage,
                                               options.askPassword);
    if (!opened)
        return report;
    report.opened = true;

    OldDocument oldDocument(legacy->folder);
    auto engine = std::make_unique<DreamEngine>(true);
    CarryFontSettings(*legacy->GetSettings(), engine->GetSettings());
    // Only a code page the user did not name is in doubt.
    CodePageCheck codePageCheck;
    const bool checkCodePage = !options.codePageChosen && options.codePage == 1251;
    try {
        CopyJournal(*engine, *legacy, options.codePage, checkCodePage ? &codePageCheck : nullptr,
                    &report);
        report.documentPath = platform::JoinPath(engine->GetFolder(), "data.xml");

        // The legacy store goes first: it writes the data file back and
        // enciphers it; then the old document takes its backup name.
        legacy->Close();
        oldDocument.Keep();
        report.setAsidePath = oldDocument.keptAs();
    } catch (...) {
        engine->DiscardSettings();  // a failed run writes no settings
        throw;
    }

    // The conversion is complete and stays so: what follows only moves the
    // backups on and makes the settings and the folder durable.
    try {
        legacy->RotateBackups();
        legacy->CreateSettingsFileIfMissing();
        if (legacy->IsNewJournal())
            std::cerr << "Note: no journal (no data file \"data\") was found in \"" << folder.path()
                      << "\"; an empty one was created\n";
        legacy.reset();
        engine.reset();  // writes the settings
        folder.Sync();
    } catch (const std::exception& error) {
        throw ConversionUnfinished(error.what());
    }
    // The output stands either way; the user decides whether to run again.
    std::cerr << codePageCheck.Warning();
    return report;
}

bool ConvertJournal(std::string password) {
    ConversionOptions options;
    options.password = std::move(password);
    return ConvertJournal(options).opened;
}
