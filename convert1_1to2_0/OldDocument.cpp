#include "convert1_1to2_0/OldDocument.h"

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

}  // namespace

void OldDocument::RecoverInterruptedRun(Folder& folder, platform::Reporter& reporter) {
    const FileKind kind = KindOf(folder, kWaitingDocument);
    if (kind == FileKind::kMissing)
        return;
    const std::string waiting = folder.PathOf(kWaitingDocument);
    if (!IsDocumentKind(kind))
        throw platform::Error(Status::Make(StatusCode::kExists,
                                           Quoted(waiting) +
                                               " is in the way: it is not a file, and this program "
                                               "keeps the earlier document under that name",
                                           waiting));
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
    if (!IsDocumentKind(kind)) {
        const std::string document = folder_.PathOf(kDocument);
        throw platform::Error(Status::Make(
            StatusCode::kExists,
            "the document " + Quoted(document) + " is not a file; move it out of the way",
            document));
    }
    const Status status = folder_.RenameNoReplace(kDocument, kWaitingDocument);
    if (!status.ok())
        throw platform::Error(status.Within("cannot set the earlier document aside"));
    state_ = kSetAside;
}

OldDocument::~OldDocument() {
    PutBack();
}

void OldDocument::Keep() {
    if (state_ == kSetAside)
        keptAs_ = RenameToFirstFreeNumberedName(folder_, kWaitingDocument, kDocument,
                                                kDocumentBackupSuffix);
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
