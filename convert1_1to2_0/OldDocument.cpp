#include "convert1_1to2_0/OldDocument.h"

#include <algorithm>
#include <vector>

#include "convert1_1to2_0/NumberedName.h"
#include "core/DocumentTemplate.h"
#include "core/JournalFiles.h"
#include "platform/os/Env.h"
#include "platform/text/TextMode.h"

using journal_files::kDocument;
using journal_files::kDocumentBackupSuffix;
using journal_files::kWaitingDocument;
using platform::FileKind;
using platform::Folder;
using platform::Quoted;
using platform::Status;
using platform::StatusCode;
using platform::ThrowIfFailed;

namespace {

FileKind KindOf(Folder& folder, const std::string& name) {
    FileKind kind;
    ThrowIfFailed(folder.GetFileKind(name, &kind));
    return kind;
}

// A document or a link to one: what the user may keep under the name.
bool IsDocumentKind(FileKind kind) {
    return kind == FileKind::kFile || kind == FileKind::kLink;
}

bool IsBareTemplate(Folder& folder, const std::string& name) {
    std::string bytes;
    return platform::ReadWholeFile(folder, name, &bytes).ok() &&
           bytes == platform::ToTextMode(BuildDocumentTemplate());
}

[[noreturn]] void WaitingInTheWay(const std::string& waiting) {
    throw platform::Error(Status::Make(StatusCode::kExists,
                                       Quoted(waiting) +
                                           " is in the way: it is not a file, and this program "
                                           "keeps the earlier document under that name",
                                       waiting));
}

[[noreturn]] void DocumentNotAFile(const std::string& document) {
    throw platform::Error(Status::Make(
        StatusCode::kExists,
        "the document " + Quoted(document) + " is not a file; move it out of the way", document));
}

// The kept copy in `folder` ("data.xml.bak", "data.xml.N.bak": a file, not a
// link) that holds the bytes of the document `name`, or empty.
std::string CopyHolding(Folder& folder, const std::string& name) {
    std::vector<std::string> names;
    ThrowIfFailed(folder.List(&names));
    std::sort(names.begin(), names.end());
    std::string document;
    bool read = false;
    for (const std::string& copyName : names) {
        if (!IsNumberedName(copyName, kDocument, kDocumentBackupSuffix) ||
            KindOf(folder, copyName) != FileKind::kFile)
            continue;
        if (!read)
            ThrowIfFailed(platform::ReadWholeFile(folder, name, &document));
        read = true;
        std::string copy;
        ThrowIfFailed(platform::ReadWholeFile(folder, copyName, &copy));
        if (copy == document)
            return copyName;
    }
    return std::string();
}

}  // namespace

OldDocument::Plan OldDocument::PlanFor(Folder& folder) {
    Plan plan;
    FileKind kind = KindOf(folder, kWaitingDocument);
    std::string earlier = kDocument;  // where the document a run sets aside lies now
    if (kind != FileKind::kMissing) {
        if (!IsDocumentKind(kind))
            WaitingInTheWay(folder.PathOf(kWaitingDocument));
        plan.putBack = kWaitingDocument;
        const FileKind documentKind = KindOf(folder, kDocument);
        if (documentKind == FileKind::kFile && IsBareTemplate(folder, kDocument))
            plan.templateGoes = true;
        else if (documentKind != FileKind::kMissing)
            plan.standingKeptAs = FirstFreeNumberedName(folder, kDocument, kDocumentBackupSuffix);
        earlier = kWaitingDocument;
    } else {
        kind = KindOf(folder, kDocument);
        if (kind == FileKind::kMissing)
            return plan;
        if (!IsDocumentKind(kind))
            DocumentNotAFile(folder.PathOf(kDocument));
    }
    plan.keptAs = CopyHolding(folder, earlier);
    plan.keptBefore = !plan.keptAs.empty();
    if (!plan.keptBefore && !plan.standingKeptAs.empty()) {
        // The recovery takes the first free name; the document takes the
        // next, unless what stood there is the same.
        if (KindOf(folder, kDocument) == FileKind::kFile) {
            std::string standing, same;
            ThrowIfFailed(platform::ReadWholeFile(folder, kDocument, &standing));
            ThrowIfFailed(platform::ReadWholeFile(folder, earlier, &same));
            plan.keptBefore = standing == same;
        }
        for (int number = 0; plan.keptAs.empty(); ++number) {
            const std::string name = NumberedName(kDocument, number, kDocumentBackupSuffix);
            if (plan.keptBefore
                    ? name == plan.standingKeptAs
                    : name != plan.standingKeptAs && KindOf(folder, name) == FileKind::kMissing)
                plan.keptAs = name;
        }
    } else if (!plan.keptBefore) {
        plan.keptAs = FirstFreeNumberedName(folder, kDocument, kDocumentBackupSuffix);
    }
    return plan;
}

void OldDocument::RecoverInterruptedRun(Folder& folder, platform::Reporter& reporter) {
    const FileKind kind = KindOf(folder, kWaitingDocument);
    if (kind == FileKind::kMissing)
        return;
    const std::string waiting = folder.PathOf(kWaitingDocument);
    if (!IsDocumentKind(kind))
        WaitingInTheWay(waiting);
    std::string standing;
    const FileKind documentKind = KindOf(folder, kDocument);
    if (documentKind == FileKind::kFile && IsBareTemplate(folder, kDocument)) {
        // The interrupted run's fresh template holds nothing: it gives way.
    } else if (documentKind != FileKind::kMissing) {
        standing =
            RenameToFirstFreeNumberedName(folder, kDocument, kDocument, kDocumentBackupSuffix);
    }
    ThrowIfFailed(folder.RenameFile(kWaitingDocument, kDocument));
    std::string warning = "an interrupted run had set the document aside as " + Quoted(waiting) +
                          "; it is back in place as " + Quoted(folder.PathOf(kDocument));
    if (!standing.empty())
        warning += ", and what stood there is kept as " + Quoted(folder.PathOf(standing));
    reporter.Warning(warning);
}

OldDocument::OldDocument(Folder& folder, platform::Reporter& reporter)
    : folder_(folder), reporter_(reporter), recovery_([this] { PutBack(); }) {
    const FileKind kind = KindOf(folder_, kDocument);
    if (kind == FileKind::kMissing) {
        state_ = kNone;
        return;
    }
    if (!IsDocumentKind(kind))
        DocumentNotAFile(folder_.PathOf(kDocument));
    const Status status = folder_.RenameNoReplace(kDocument, kWaitingDocument);
    if (!status.ok())
        throw platform::Error(status.Within("cannot set the earlier document aside"));
    state_ = kSetAside;
}

OldDocument::~OldDocument() {
    PutBack();
}

void OldDocument::Keep() {
    if (state_ == kSetAside) {
        keptAs_ = CopyHolding(folder_, kWaitingDocument);
        keptBefore_ = !keptAs_.empty();
        if (keptBefore_)
            ThrowIfFailed(folder_.RemoveFile(kWaitingDocument));
        else
            keptAs_ = RenameToFirstFreeNumberedName(folder_, kWaitingDocument, kDocument,
                                                    kDocumentBackupSuffix);
    }
    state_ = kKept;
}

void OldDocument::PutBack() {
    Status status;
    if (state_ == kSetAside) {
        // Replaces whatever the run made in one step.
        status = folder_.RenameFile(kWaitingDocument, kDocument);
    } else if (state_ == kNone) {
        FileKind kind;
        status = folder_.GetFileKind(kDocument, &kind);
        if (status.ok() && kind == FileKind::kFile)
            status = folder_.RemoveFile(kDocument);
    }
    if (!status.ok()) {
        reporter_.Warning(status.message());
        if (state_ == kSetAside)
            reporter_.Line("The earlier document is kept as " +
                           Quoted(folder_.PathOf(kWaitingDocument)) + ": rename it to " +
                           Quoted(folder_.PathOf(kDocument)) + ".");
    }
    state_ = kKept;
}
