#pragma once

#include <string>

#include "platform/os/Env.h"

// Every name the journal folder holds, spelled once. Both releases keep their
// files side by side in the folder; the converter adds its working copies,
// backups and temporaries beside them. Everything else takes its names from
// here.
namespace journal_files {

// The older release: the data file, its settings, the two backups.
constexpr char kDataFile[] = "data";
constexpr char kLegacySettings[] = "ini";
constexpr char kNewestBackup[] = "_data";
constexpr char kOlderBackup[] = "__data";

// The newer release: the document and its settings; the folders and the
// trace file its engine names.
constexpr char kDocument[] = "data.xml";
constexpr char kSettings[] = "ini.txt";
constexpr char kDatabaseFolder[] = "DB";
constexpr char kPicturesFolder[] = "Pics";
constexpr char kTraceFile[] = "Tracing.txt";

// The converter's own files.
// The data file as a run found it, taken before anything changes.
constexpr char kWorkingCopy[] = "dataX";
// A working copy an interrupted run left that is not the journal in the
// data file: "data.interrupted", "data.interrupted.1", ...
constexpr char kInterruptedCopy[] = "data.interrupted";
// The document a run found, while the run builds a new one.
constexpr char kWaitingDocument[] = "data.xml.old";
// A document a run found, kept: "data.xml.bak", "data.xml.1.bak", ...
constexpr char kDocumentBackupSuffix[] = ".bak";
// A new document that failed its proof, kept for a bug report:
// "data.xml.rejected", "data.xml.1.rejected", ...
constexpr char kRejectedDocumentSuffix[] = ".rejected";
// Where the folder's lock is a file (Windows): hidden, and gone with the run.
constexpr char kLockFile[] = "convert1_1to2_0.lock";

// The cipher builds its result beside the file it works on, under this
// file's name with this added (then the temporary form below).
constexpr char kCipherTempSuffix[] = "__";

// The form of the converter's temporary files: a dot, the name of the file
// of the folder above it is made beside (or the cipher's "data__"), a mark
// of this program and random letters or digits, ".tmp":
// ".data.cnv-3f9k2m1q.tmp". No person names a file so. An interrupted run
// may leave one behind; the next run removes it.
extern const platform::TempNameForm kTemporaryForm;
bool IsTemporaryName(const std::string& name);

// The form earlier versions gave their temporary files, "data__.3f9K2m1Q.tmp"
// and the like: also the form of names a person may choose
// ("data.Original.tmp"). Such a file is never removed; one left by an
// earlier version may hold the deciphered journal.
bool IsEarlierTemporaryName(const std::string& name);

}  // namespace journal_files
