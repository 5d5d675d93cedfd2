#include "convert1_1to2_0/ConvertJournal.h"

#include <cstdint>
#include <iostream>
#include <memory>

#include "convert1_1to2_0/DreamBase.h"
#include "convert1_1to2_0/LucidMarkers.h"
#include "core/DreamBinding.h"
#include "core/dream.h"
#include "platform/ComponentModel.h"
#include "platform/Cp1251.h"
#include "platform/Env.h"

namespace {

// Legacy places and positions count from 1 with 0 for none; the document
// indexes its lists from 0 with -1 for none. Wraps rather than overflows on a
// number no journal holds.
int32_t ToListIndex(int32_t number) {
    return static_cast<int32_t>(static_cast<uint32_t>(number) - 1u);
}

// An existing document is kept as "data.xml.bak" rather than thrown away;
// the engine then starts a fresh one. When it cannot be moved, the engine
// opens it and the journal is added to what it holds.
void SetAsideOldDocument(const std::string& folder) {
    platform::Env& env = platform::Env::Current();
    const std::string document = platform::JoinPath(folder, "data.xml");
    platform::FileKind kind;
    if (!env.GetFileKind(document, &kind).ok() || kind != platform::FileKind::kFile)
        return;
    platform::Status status = env.RenameFile(document, document + ".bak");
    if (!status.ok())
        std::cerr << "Warning: " << status.message() << "\n";
}

void CopyPlaces(DreamEngine& engine, const std::vector<std::string>& legacy) {
    for (int i = 0; i < engine.PlacesCount(); ++i)
        engine.ClearPlace(i);
    for (size_t n = legacy.size(); n-- > 0;)
        engine.GetContents()->Get_Places()->Insert(0, platform::WidenCp1251(legacy[n]));
}

void CopyPositions(DreamEngine& engine, const std::vector<std::string>& legacy) {
    for (int i = 0; i < engine.PositionsCount(); ++i)
        engine.ClearPosition(i);
    for (size_t n = legacy.size(); n-- > 0;)
        engine.GetContents()->Get_Positions()->Insert(0, platform::WidenCp1251(legacy[n]));
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

bool ConvertJournal(std::string password) {
    platform::InitializeComponentModel();
    bool opened = true;
    auto legacy = std::make_unique<TDreamBase>(std::move(password), opened);
    if (!opened)
        return false;

    SetAsideOldDocument(legacy->folder);
    auto engine = std::make_unique<DreamEngine>(true);
    CopyPlaces(*engine, legacy->GetPlaces());
    CopyPositions(*engine, legacy->GetPositions());
    for (int i = 0; i < legacy->RecordCount(); ++i)
        CopyRecord(*engine, legacy->GetRecord(i));
    engine->Save();

    // The legacy store goes first: it writes the data file back and
    // enciphers it; then the engine writes its settings.
    legacy->Close();
    legacy.reset();
    engine.reset();
    return true;
}
