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
using platform::Env;
using platform::FileKind;
using platform::Quoted;
using platform::Status;
using platform::StatusCode;
using platform::ThrowIfFailed;

namespace {

FileKind KindOf(const std::string& path) {
    FileKind kind;
    ThrowIfFailed(Env::Current().GetFileKind(path, &kind));
    return kind;
}

// A document or a link to one: what the user may keep under the name.
bool IsDocumentKind(FileKind kind) {
    return kind == FileKind::kFile || kind == FileKind::kLink;
}

bool IsBareTemplate(const std::string& path) {
    std::string bytes;
    return platform::ReadWholeFile(Env::Current(), path, &bytes).ok() &&
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
// link) that holds the bytes of the document at `path`, or empty.
std::string CopyHolding(const std::string& folder, const std::string& path) {
    Env& env = Env::Current();
    std::vector<std::string> names;
    ThrowIfFailed(env.ListDir(folder, &names));
    std::sort(names.begin(), names.end());
    std::string document;
    bool read = false;
    for (const std::string& name : names) {
        const std::string copyPath = platform::JoinPath(folder, name);
        if (!IsNumberedName(name, kDocument, kDocumentBackupSuffix) ||
            KindOf(copyPath) != FileKind::kFile)
            continue;
        if (!read)
            ThrowIfFailed(platform::ReadWholeFile(env, path, &document));
        read = true;
        std::string copy;
        ThrowIfFailed(platform::ReadWholeFile(env, copyPath, &copy));
        if (copy == document)
            return copyPath;
    }
    return std::string();
}

}  // namespace

OldDocument::Plan OldDocument::PlanFor(const std::string& folder) {
    Env& env = Env::Current();
    const std::string waiting = platform::JoinPath(folder, kWaitingDocument);
    const std::string document = platform::JoinPath(folder, kDocument);
    Plan plan;
    FileKind kind = KindOf(waiting);
    std::string earlier = document;  // where the document a run sets aside lies now
    if (kind != FileKind::kMissing) {
        if (!IsDocumentKind(kind))
            WaitingInTheWay(waiting);
        plan.putBack = waiting;
        const FileKind documentKind = KindOf(document);
        if (documentKind == FileKind::kFile && IsBareTemplate(document))
            plan.templateGoes = true;
        else if (documentKind != FileKind::kMissing)
            plan.standingKeptAs =
                FirstFreeNumberedName(env, folder, kDocument, kDocumentBackupSuffix);
        earlier = waiting;
    } else {
        kind = KindOf(document);
        if (kind == FileKind::kMissing)
            return plan;
        if (!IsDocumentKind(kind))
            DocumentNotAFile(document);
    }
    plan.keptAs = CopyHolding(folder, earlier);
    plan.keptBefore = !plan.keptAs.empty();
    if (!plan.keptBefore && !plan.standingKeptAs.empty()) {
        // The recovery takes the first free name; the document takes the
        // next, unless what stood there is the same.
        if (KindOf(document) == FileKind::kFile) {
            std::string standing, same;
            ThrowIfFailed(platform::ReadWholeFile(env, document, &standing));
            ThrowIfFailed(platform::ReadWholeFile(env, earlier, &same));
            plan.keptBefore = standing == same;
        }
        for (int number = 0; plan.keptAs.empty(); ++number) {
            const std::string path =
                platform::JoinPath(folder, NumberedName(kDocument, number, kDocumentBackupSuffix));
            if (plan.keptBefore ? path == plan.standingKeptAs
                                : path != plan.standingKeptAs && KindOf(path) == FileKind::kMissing)
                plan.keptAs = path;
        }
    } else if (!plan.keptBefore) {
        plan.keptAs = FirstFreeNumberedName(env, folder, kDocument, kDocumentBackupSuffix);
    }
    return plan;
}

void OldDocument::RecoverInterruptedRun(const std::string& folder, platform::Reporter& reporter) {
    Env& env = Env::Current();
    const std::string waiting = platform::JoinPath(folder, kWaitingDocument);
    const std::string document = platform::JoinPath(folder, kDocument);
    const FileKind kind = KindOf(waiting);
    if (kind == FileKind::kMissing)
        return;
    if (!IsDocumentKind(kind))
        WaitingInTheWay(waiting);
    std::string standing;
    const FileKind documentKind = KindOf(document);
    if (documentKind == FileKind::kFile && IsBareTemplate(document)) {
        // The interrupted run's fresh template holds nothing: it gives way.
    } else if (documentKind != FileKind::kMissing) {
        standing =
            RenameToFirstFreeNumberedName(env, document, folder, kDocument, kDocumentBackupSuffix);
    }
    ThrowIfFailed(env.RenameFile(waiting, document));
    std::string warning = "an interrupted run had set the document aside as " + Quoted(waiting) +
                          "; it is back in place as " + Quoted(document);
    if (!standing.empty())
        warning += ", and what stood there is kept as " + Quoted(standing);
    reporter.Warning(warning);
}

OldDocument::OldDocument(const std::string& folder, platform::Reporter& reporter)
    : folder_(folder),
      document_(platform::JoinPath(folder, kDocument)),
      waiting_(platform::JoinPath(folder, kWaitingDocument)),
      reporter_(reporter),
      recovery_([this] { PutBack(); }) {
    const FileKind kind = KindOf(document_);
    if (kind == FileKind::kMissing) {
        state_ = kNone;
        return;
    }
    if (!IsDocumentKind(kind))
        DocumentNotAFile(document_);
    const Status status = Env::Current().RenameNoReplace(document_, waiting_);
    if (!status.ok())
        throw platform::Error(status.Within("cannot set the earlier document aside"));
    state_ = kSetAside;
}

OldDocument::~OldDocument() {
    PutBack();
}

void OldDocument::Keep() {
    if (state_ == kSetAside) {
        keptAs_ = CopyHolding(folder_, waiting_);
        keptBefore_ = !keptAs_.empty();
        if (keptBefore_)
            ThrowIfFailed(Env::Current().RemoveFile(waiting_));
        else
            keptAs_ = RenameToFirstFreeNumberedName(Env::Current(), waiting_, folder_, kDocument,
                                                    kDocumentBackupSuffix);
    }
    state_ = kKept;
}

void OldDocument::PutBack() {
    Env& env = Env::Current();
    Status status;
    if (state_ == kSetAside) {
        // Replaces whatever the run made in one step.
        status = env.RenameFile(waiting_, document_);
    } else if (state_ == kNone) {
        FileKind kind;
        status = env.GetFileKind(document_, &kind);
        if (status.ok() && kind == FileKind::kFile)
            status = env.RemoveFile(document_);
    }
    if (!status.ok()) {
        reporter_.Warning(status.message());
        if (state_ == kSetAside)
            reporter_.Line("The earlier document is kept as " + Quoted(waiting_) +
                           ": rename it to " + Quoted(document_) + ".");
    }
    state_ = kKept;
}
