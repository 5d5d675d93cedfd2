#include "convert1_1to2_0/OldDocument.h"

#include <iostream>

#include "convert1_1to2_0/NumberedName.h"
#include "core/DocumentTemplate.h"
#include "platform/os/Env.h"
#include "platform/text/TextMode.h"

using platform::Env;
using platform::FileKind;
using platform::Status;
using platform::ThrowIfFailed;

namespace {

const char kDocument[] = "data.xml";
const char kWaiting[] = "data.xml.old";
const char kBackupSuffix[] = ".bak";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

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

}  // namespace

void OldDocument::RecoverInterruptedRun(const std::string& folder) {
    Env& env = Env::Current();
    const std::string waiting = platform::JoinPath(folder, kWaiting);
    const std::string document = platform::JoinPath(folder, kDocument);
    const FileKind kind = KindOf(waiting);
    if (kind == FileKind::kMissing)
        return;
    if (!IsDocumentKind(kind))
        throw platform::IoError(Status::Error(Quoted(waiting) +
                                              " is in the way: it is not a file, and this program "
                                              "keeps the earlier document under that name"));
    std::string standing;
    const FileKind documentKind = KindOf(document);
    if (documentKind == FileKind::kFile && IsBareTemplate(document)) {
        // The interrupted run's fresh template holds nothing: it gives way.
    } else if (documentKind != FileKind::kMissing) {
        standing = RenameToFirstFreeNumberedName(env, document, folder, kDocument, kBackupSuffix);
    }
    ThrowIfFailed(env.RenameFile(waiting, document));
    std::cerr << "Warning: an interrupted run had set the document aside as " << Quoted(waiting)
              << "; it is back in place as " << Quoted(document);
    if (!standing.empty())
        std::cerr << ", and what stood there is kept as " << Quoted(standing);
    std::cerr << "\n";
}

OldDocument::OldDocument(const std::string& folder)
    : folder_(folder),
      document_(platform::JoinPath(folder, kDocument)),
      waiting_(platform::JoinPath(folder, kWaiting)),
      recovery_([this] { PutBack(); }) {
    const FileKind kind = KindOf(document_);
    if (kind == FileKind::kMissing) {
        state_ = kNone;
        return;
    }
    if (!IsDocumentKind(kind))
        throw platform::IoError(Status::Error("the document " + Quoted(document_) +
                                              " is not a file; move it out of the way"));
    bool exists = false;
    Status status = Env::Current().RenameNoReplace(document_, waiting_, &exists);
    if (!status.ok())
        throw platform::IoError(
            Status::Error("cannot set the earlier document aside: " + status.message()));
    state_ = kSetAside;
}

OldDocument::~OldDocument() {
    PutBack();
}

void OldDocument::Keep() {
    if (state_ == kSetAside)
        keptAs_ = RenameToFirstFreeNumberedName(Env::Current(), waiting_, folder_, kDocument,
                                                kBackupSuffix);
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
        std::cerr << "Warning: " << status.message() << "\n";
        if (state_ == kSetAside)
            std::cerr << "The earlier document is kept as " << Quoted(waiting_) << ": rename it to "
                      << Quoted(document_) << ".\n";
    }
    state_ = kKept;
}
