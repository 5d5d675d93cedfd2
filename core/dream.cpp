#include "core/dream.h"

#include "core/DocumentTemplate.h"
#include "core/ExchangeOrder.h"
#include "core/JournalFiles.h"
#include "core/Tracing.h"
#include "core/ini.h"
#include "platform/os/Env.h"
#include "platform/os/Fatal.h"
#include "platform/text/PathText.h"

namespace {

std::string CurrentDirectory() {
    std::string path;
    platform::ThrowIfFailed(platform::Env::Current().GetCurrentDir(&path));
    return path;
}

platform::FileKind KindOf(const std::string& path) {
    platform::FileKind kind;
    // Taking an unreadable journal for a missing one would overwrite it.
    platform::ThrowIfFailed(platform::Env::Current().GetFileKind(path, &kind));
    return kind;
}

}  // namespace

// ---- DreamArrange ----------------------------------------------------------

DreamArrange::DreamArrange(DreamEngine& engine) : engine_(engine) {}

void DreamArrange::SetTypeFilter(int8_t type) {
    typeFilter_ = type;
}
void DreamArrange::SetSortKey(uint8_t key) {
    sortKey_ = key;
}
void DreamArrange::SetAscending(bool ascending) {
    ascending_ = ascending;
}

void DreamArrange::Refresh() {
    Filter();
    Sort();
}

void DreamArrange::Filter() {
    IXMLDreamsTypePtr dreams = engine_.GetContents()->Get_Dreams();
    const int n = dreams->Get_Count();
    indices_.clear();
    indices_.reserve(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k)
        indices_.push_back(k);
    if (typeFilter_ == -1)
        return;
    // Each dream's type is read once; the kept ones keep their order.
    std::vector<int32_t> kept;
    for (int32_t index : indices_) {
        if (dreams->Get_Dream(index)->Get_Type() == static_cast<int32_t>(typeFilter_))
            kept.push_back(index);
    }
    indices_.swap(kept);
}

int DreamArrange::IndexAt(int position) const {
    if (position < 0 || position >= Count())
        throw XmlError("List index out of bounds (" + std::to_string(position) + ")");
    return indices_[static_cast<size_t>(position)];
}

double DreamArrange::KeyOf(const IXMLDreamTypePtr& dream) const {
    switch (sortKey_) {
        case 0:
            return dream->Get_Dt();
        case 1:
            return static_cast<double>(dream->Get_Clarity());
        case 2:
            return static_cast<double>(dream->Get_Duration());
    }
    JC_FATAL_CHECK(false, "0", "core/dream", 62);
    return 0;
}

void DreamArrange::Sort() {
    const int n = Count();
    if (n < 2)
        return;  // no comparison is made
    // Each key is read once; the order is that of the exchange sort made
    // over the view, ties included. Nothing is exchanged until every key has
    // been read, so an unreadable key leaves the view as filtered.
    IXMLDreamsTypePtr dreams = engine_.GetContents()->Get_Dreams();
    std::vector<double> keys;
    keys.reserve(static_cast<size_t>(n));
    for (int32_t index : indices_)
        keys.push_back(KeyOf(dreams->Get_Dream(index)));
    const std::vector<int> order = core::ExchangeOrder(keys, ascending_);
    std::vector<int32_t> sorted;
    sorted.reserve(indices_.size());
    for (int from : order)
        sorted.push_back(indices_[static_cast<size_t>(from)]);
    indices_.swap(sorted);
}

// ---- DreamEngine -----------------------------------------------------------

DreamEngine::DreamEngine(bool useCurrentDir, platform::Reporter& reporter) : reporter_(reporter) {
    const std::string current = CurrentDirectory();
    folder_ = useCurrentDir ? current : platform::JoinPath(current, journal_files::kDatabaseFolder);
    picsFolder_ = platform::JoinPath(CurrentDirectory(), journal_files::kPicturesFolder);
    TraceOpen(platform::JoinPath(folder_, journal_files::kTraceFile));

    if (KindOf(DocumentPath()) == platform::FileKind::kMissing) {
        if (KindOf(folder_) == platform::FileKind::kMissing) {
            platform::ThrowIfFailed(platform::Env::Current().CreateDir(folder_));
        }
        CreateDocument();
    }

    document_ = TXMLDocument::Create(platform::PathToWide(DocumentPath()));
    contents_ = BindContents(document_);
    if (!contents_) {
        throw XmlError(platform::WideToPath(document_->Get_FileName()) +
                       ": the root element is not \"Contents\"");
    }
    document_->SetEncoding(u"Windows-1251");

    // Stored before the refresh: the sort asks this engine for the dreams.
    arrange_.reset(new DreamArrange(*this));
    arrange_->SetTypeFilter(-1);
    arrange_->SetSortKey(0);
    arrange_->SetAscending(true);
    arrange_->Refresh();

    ini_.reset(new TIni(folder_, reporter_));
}

DreamEngine::~DreamEngine() {
    arrange_.reset();
    ini_.reset();  // writes the settings back
    contents_.reset();
    document_.reset();  // not saved
}

std::string DreamEngine::DocumentPath() const {
    return platform::JoinPath(folder_, journal_files::kDocument);
}

void DreamEngine::CreateDocument() {
    // A journal that cannot be written is better reported now, with its
    // reason, than as a file that cannot be opened.
    platform::ThrowIfFailed(WriteDocumentTemplate(DocumentPath()));
}

void DreamEngine::DiscardSettings() {
    ini_->Discard();
}

void DreamEngine::Save() {
    document_->SaveToFile(platform::PathToWide(DocumentPath()));
}

int DreamEngine::PlacesCount() {
    return contents_->Get_Places()->Get_Count();
}
int DreamEngine::PositionsCount() {
    return contents_->Get_Positions()->Get_Count();
}

void DreamEngine::ClearPlace(int index) {
    contents_->Get_Places()->Delete(index);
    contents_->Get_Places()->Insert(index, u"");
}

void DreamEngine::ClearPosition(int index) {
    contents_->Get_Positions()->Delete(index);
    contents_->Get_Positions()->Insert(index, u"");
}

int DreamEngine::DreamCount() {
    return arrange_->Count();
}

IXMLDreamTypePtr DreamEngine::GetDream(int index) {
    return contents_->Get_Dreams()->Get_Dream(arrange_->IndexAt(index));
}
