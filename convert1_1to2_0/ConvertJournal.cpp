#include "convert1_1to2_0/ConvertJournal.h"

#include <cstdint>
#include <iostream>
#include <memory>

#include "convert1_1to2_0/DreamBase.h"
#include "convert1_1to2_0/FontSettings.h"
#include "convert1_1to2_0/LucidMarkers.h"
#include "core/DreamBinding.h"
#include "core/dream.h"
#include "platform/ComponentModel.h"
#include "platform/Cp1251.h"
#include "platform/Env.h"
#include "platform/Fatal.h"

namespace {

// Legacy places and positions count from 1 with 0 for none; the document
// indexes its lists from 0 with -1 for none. Wraps rather than overflows on a
// number no journal holds.
int32_t ToListIndex(int32_t number) {
    return static_cast<int32_t>(static_cast<uint32_t>(number) - 1u);
}

// An existing document is kept as "data.xml.bak" rather than thrown away;
// the engine then starts a fresh one. When it cannot be moved, the engine
// opens it and the journal is added to what it holds. A run that fails puts
// the folder back as it was: the old document in its place, or none.
class OldDocument {
  public:
    explicit OldDocument(const std::string& folder)
        : document_(platform::JoinPath(folder, "data.xml")),
          backup_(document_ + ".bak"),
          recovery_([this] { PutBack(); }) {
        platform::Env& env = platform::Env::Current();
        platform::FileKind kind;
        platform::ThrowIfFailed(env.GetFileKind(document_, &kind));
        state_ = kind == platform::FileKind::kMissing ? kNone : kInPlace;
        if (kind != platform::FileKind::kFile)
            return;
        platform::Status status = env.RenameFile(document_, backup_);
        if (status.ok())
            state_ = kSetAside;
        else
            std::cerr << "Warning: " << status.message() << "\n";
    }
    ~OldDocument() { PutBack(); }
    OldDocument(const OldDocument&) = delete;
    OldDocument& operator=(const OldDocument&) = delete;

    void Keep() { state_ = kKept; }

  private:
    void PutBack() {
        platform::Env& env = platform::Env::Current();
        platform::Status status;
        if (state_ == kSetAside)
            status = env.RenameFile(backup_, document_);
        else if (state_ == kNone)
            status = RemoveIfPresent(env, document_);
        state_ = kKept;
        if (!status.ok())
            std::cerr << "Warning: " << status.message() << "\n";
    }
    static platform::Status RemoveIfPresent(platform::Env& env, const std::string& path) {
        platform::FileKind kind;
        platform::Status status = env.GetFileKind(path, &kind);
        if (status.ok() && kind == platform::FileKind::kFile)
            status = env.RemoveFile(path);
        return status;
    }

    enum State { kNone, kInPlace, kSetAside, kKept };
    const std::string document_;
    const std::string backup_;
    State state_ = kKept;
    platform::RecoveryAction recovery_;
};

// Blanks every entry the document's list holds, in place (dreams refer to
// entries by position), then puts the legacy entries in front of them, in
// their legacy order.
template <class List>
void CopyList(DreamEngine& engine, int (DreamEngine::*count)(), void (DreamEngine::*clear)(int),
              List list, const std::vector<std::string>& legacy) {
    for (int i = 0; i < (engine.*count)(); ++i)
        (engine.*clear)(i);
    for (size_t n = legacy.size(); n-- > 0;)
        list()->Insert(0, platform::WidenCp1251(legacy[n]));
}

void CopyRecord(DreamEngine& engine, const TRecord& record) {
    IXMLDreamTypePtr dream = engine.GetContents()->Get_Dreams()->Add();
    dream->Set_Dt(static_cast<double>(record.date));
    dream->Set_Clock(record.clock);
    dream->Set_Subject(u"");
    dream->Set_Type(record.lucid ? 1 : 0);
    dream->Set_Place(ToListIndex(record.place));
    dream->Set_Position(ToListIndex(record.position));
    dream->Set_Duration(0);
    dream->Set_Clarity(record.clarity);
    dream->Set_Text(platform::WidenCp1251(ConvertLucidMarkers(record.text)));
}

}  // namespace

ConversionReport ConvertJournal(const ConversionOptions& options) {
    ConversionReport report;
    platform::InitializeComponentModel();
    bool opened = true;
    auto legacy = std::make_unique<TDreamBase>(options.password, opened, options.askPassword);
    if (!opened)
        return report;
    report.opened = true;

    OldDocument oldDocument(legacy->folder);
    auto engine = std::make_unique<DreamEngine>(true);
    CarryFontSettings(*legacy->GetSettings(), engine->GetSettings());
    const std::vector<std::string> places = legacy->GetPlaces();
    const std::vector<std::string> positions = legacy->GetPositions();
    CopyList(
        *engine, &DreamEngine::PlacesCount, &DreamEngine::ClearPlace,
        [&] { return engine->GetContents()->Get_Places(); }, places);
    CopyList(
        *engine, &DreamEngine::PositionsCount, &DreamEngine::ClearPosition,
        [&] { return engine->GetContents()->Get_Positions(); }, positions);
    for (int i = 0; i < legacy->RecordCount(); ++i) {
        const TRecord record = legacy->GetRecord(i);
        CopyRecord(*engine, record);
        report.lucidDreams += record.lucid ? 1 : 0;
    }
    engine->Save();
    report.dreams = legacy->RecordCount();
    report.places = static_cast<int>(places.size());
    report.positions = static_cast<int>(positions.size());
    report.documentPath = platform::JoinPath(engine->GetFolder(), "data.xml");

    // The legacy store goes first: it writes the data file back, enciphers
    // it and rotates its backups; then the engine writes its settings.
    legacy->Close();
    oldDocument.Keep();
    legacy.reset();
    engine.reset();
    return report;
}

bool ConvertJournal(std::string password) {
    ConversionOptions options;
    options.password = std::move(password);
    return ConvertJournal(options).opened;
}
