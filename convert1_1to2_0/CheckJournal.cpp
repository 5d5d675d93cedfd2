#include "convert1_1to2_0/CheckJournal.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "convert1_1to2_0/CodePageCheck.h"
#include "convert1_1to2_0/DreamBase.h"
#include "convert1_1to2_0/FontSettings.h"
#include "convert1_1to2_0/JournalFolder.h"
#include "convert1_1to2_0/JournalQuestions.h"
#include "convert1_1to2_0/MemoryCheck.h"
#include "convert1_1to2_0/OldDocument.h"
#include "core/JournalFiles.h"
#include "core/ini.h"
#include "platform/os/Env.h"
#include "platform/os/Interrupt.h"

using platform::NameOf;
using platform::Quoted;

namespace {

// Collects what the machinery of a conversion says, for the report. Its
// console texts ("Wrong password!") are a conversion's, not the check's;
// nobody is asked anything. Only the password prompt's "try again" reaches
// the person.
class CollectingReporter : public platform::Reporter {
  public:
    explicit CollectingReporter(platform::Reporter& console) : console_(console) {}
    void Output(std::string_view /*text*/) override {}
    void Line(std::string_view text) override { lines.emplace_back(text); }
    bool ok() const override { return console_.ok(); }
    void Tell(std::string_view text) override { console_.Tell(text); }

    std::vector<std::string> lines;

  private:
    platform::Reporter& console_;
};

// The report's lines, in the order they are shown.
struct Findings {
    std::vector<std::string> files;
    std::vector<std::string> journal;

    void File(const std::string& name, const std::string& what) {
        files.push_back(name + ": " + what);
    }
};

bool Exists(platform::Folder& folder, const char* name) {
    platform::FileKind kind;
    platform::ThrowIfFailed(folder.GetFileKind(name, &kind));
    return kind != platform::FileKind::kMissing;
}

std::string SchemeName(CipherScheme scheme) {
    switch (scheme) {
        case CipherScheme::kCurrent:
            return "128-bit key, as Windows XP SP1 and later make it";
        case CipherScheme::kBase:
            return "40-bit key of the base cryptographic provider";
        case CipherScheme::kEarly:
            return "40-bit key, as Windows 2000 and XP before SP1 make it";
    }
    return "";
}

void DescribeLeftovers(const JournalFolder& folder, const TDreamBase& legacy, Findings* findings) {
    for (const std::string& name : folder.LeftoverTemporaries())
        findings->File(name, "removed: a temporary file of an interrupted run");
    const LeftoverResolution& copy = legacy.Leftover();
    const std::string what = copy.why;
    switch (copy.outcome) {
        case LeftoverOutcome::kNone:
        case LeftoverOutcome::kWrongPassword:
            break;
        case LeftoverOutcome::kRemoved:
            findings->File(journal_files::kWorkingCopy,
                           "removed: left by an interrupted run, and " + what);
            break;
        case LeftoverOutcome::kPutBack:
            findings->File(journal_files::kWorkingCopy,
                           "put back as " + Quoted(journal_files::kDataFile) +
                               ": left by an interrupted run, and " + what);
            break;
        case LeftoverOutcome::kKeptAside:
            findings->File(journal_files::kWorkingCopy,
                           "kept as " + Quoted(NameOf(copy.keptAs)) +
                               ": the journal as an interrupted run found it, but " + what);
            break;
    }
}

void DescribeLegacyFiles(platform::Folder& folder, const TDreamBase& legacy, Findings* findings) {
    using namespace journal_files;
    if (legacy.IsNewJournal()) {
        findings->File(kDataFile, "none: a new, empty journal would be made");
    } else {
        findings->File(
            kDataFile,
            std::string("converted into ") + Quoted(kDocument) + ", then written back " +
                (legacy.OpenedPlain() ? "enciphered with the empty password, as the older release "
                                        "keeps a journal without one"
                                      : "enciphered again with the same password"));
        const bool newest = Exists(folder, kNewestBackup);
        findings->File(kNewestBackup, std::string(newest ? "replaced by" : "made:") +
                                          " the journal as this run finds it");
        if (newest)
            findings->File(kOlderBackup,
                           std::string(Exists(folder, kOlderBackup) ? "replaced by" : "made from") +
                               " what " + Quoted(kNewestBackup) + " holds now");
    }
    if (legacy.GetSettings()->Missing())
        findings->File(kLegacySettings, "made, empty, as the older release expects it");
}

void DescribeDocuments(const OldDocument::Plan& plan, Findings* findings) {
    using namespace journal_files;
    std::string earlier;
    if (!plan.putBack.empty()) {
        findings->File(kWaitingDocument, "put back as " + Quoted(kDocument) +
                                             ", where an interrupted run had set it aside");
        if (plan.templateGoes)
            earlier = "the bare template an interrupted run made goes; ";
        else if (!plan.standingKeptAs.empty())
            earlier = "kept as " + Quoted(NameOf(plan.standingKeptAs)) + " first; ";
    }
    if (plan.keptAs.empty())
        earlier += "the converted journal is written here";
    else if (plan.keptBefore)
        earlier += "the earlier document gives way to the converted journal: " +
                   Quoted(NameOf(plan.keptAs)) + " holds the same bytes";
    else
        earlier += "the earlier document is kept as " + Quoted(NameOf(plan.keptAs)) +
                   ", and the converted journal is written here";
    findings->File(kDocument, earlier);
}

void DescribeSettings(const TDreamBase& legacy, platform::Folder& folder, platform::Reporter& quiet,
                      Findings* findings) {
    TIni settings(folder, quiet);
    CarryFontSettings(*legacy.GetSettings(), settings, quiet);
    findings->File(journal_files::kSettings,
                   settings.IsNew() ? "made, with the newer release's defaults and the fonts " +
                                          Quoted(journal_files::kLegacySettings) + " gives"
                   : settings.WillBeWritten() ? "written again with its own settings"
                                              : "left as it is: it cannot be read");
    settings.Discard();
}

// Every other name in the folder: a conversion leaves it as it is.
void DescribeTheRest(platform::Folder& folder, Findings* findings) {
    std::vector<std::string> names;
    platform::ThrowIfFailed(folder.List(&names));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string prefix = name + ": ";
        const bool told = std::any_of(
            findings->files.begin(), findings->files.end(),
            [&](const std::string& line) { return line.compare(0, prefix.size(), prefix) == 0; });
        if (!told)
            findings->File(name, "left as it is");
    }
}

std::string Counted(size_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

}  // namespace

CheckVerdict CheckJournal(const ConversionOptions& options, platform::Reporter& reporter) {
    // Ctrl-C and the like end the check as they end a conversion.
    platform::InterruptHandling interrupts;
    CollectingReporter quiet(reporter);
    Findings findings;
    CheckVerdict verdict = CheckVerdict::kWouldSucceed;
    std::string last = "a conversion would succeed.";
    try {
        CheckCodePage(options.codePage);
        JournalFolder folder(quiet, JournalFolder::Access::kRead);
        CheckJournalFitsInMemory(folder.files());
        const OldDocument::Plan documents = OldDocument::PlanFor(folder.files());

        // Refuses what a conversion refuses; asks nobody but for the password.
        std::unique_ptr<TDreamBase> legacy;
        if (OpenLegacyJournal(folder.files(), folder.path(), options, true, quiet, &legacy)
                .Is(platform::StatusCode::kWrongKey)) {
            verdict = CheckVerdict::kWrongPassword;
            last = "wrong password; a conversion would change nothing.";
        } else {
            DescribeLeftovers(folder, *legacy, &findings);
            DescribeLegacyFiles(folder.files(), *legacy, &findings);
            DescribeDocuments(documents, &findings);
            DescribeSettings(*legacy, folder.files(), quiet, &findings);
            DescribeTheRest(folder.files(), &findings);

            std::string warning;
            const int codePage = ChooseCodePage(options, *legacy, quiet, &warning);
            if (legacy->IsNewJournal())
                findings.journal.push_back("Password: the new journal would be enciphered with it");
            else if (legacy->OpenedPlain())
                findings.journal.push_back("Password: none; the data file is not enciphered");
            else
                findings.journal.push_back("Password: opens the journal (" +
                                           SchemeName(legacy->Scheme()) + ")");
            findings.journal.push_back("Texts: read in " + DescribeCodePage(codePage));
            size_t lucid = 0;
            for (int i = 0; i < legacy->RecordCount(); ++i)
                lucid += legacy->GetRecord(i).lucid ? 1 : 0;
            findings.journal.push_back(
                "Counts: " + Counted(static_cast<size_t>(legacy->RecordCount()), "dream") + " (" +
                std::to_string(lucid) + " lucid), " + Counted(legacy->GetPlaces().size(), "place") +
                " and " + Counted(legacy->GetPositions().size(), "position"));

            // Where a conversion would ask the person at the terminal, how it
            // ends is not known yet.
            if (!warning.empty())
                quiet.Warning(warning);
            if (reporter.PersonPresent() && legacy->IsNewJournal()) {
                verdict = CheckVerdict::kWouldStop;
                last = "a conversion would first ask whether to make a new, empty journal here.";
            } else if (reporter.PersonPresent() && !options.codePageChosen && !warning.empty()) {
                verdict = CheckVerdict::kWouldStop;
                last =
                    "a conversion would first ask which code page the texts are read in; "
                    "give it with --codepage=N.";
            }
        }
    } catch (const platform::Interrupted&) {
        throw;
    } catch (const std::exception& error) {
        verdict = CheckVerdict::kWouldStop;
        last = std::string("a conversion would stop: ") + error.what() + ".";
    }
    // A signal that came while the journal was read ends the check as it
    // would end a conversion.
    platform::CheckForInterrupt();
    std::string report;
    for (const auto* lines : {&findings.files, &findings.journal, &quiet.lines})
        for (const std::string& line : *lines)
            report += line + "\n";
    reporter.Output(report + "Verdict: " + last + "\n");
    return verdict;
}
