#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/DreamBinding.h"
#include "platform/Reporter.h"
#include "platform/xml/XmlDom.h"

class DreamEngine;
class TIni;

// The arranged view of a journal's dreams: indices into `Dreams` of the
// dreams of one type (or all), ordered by one property. A snapshot, changed
// only by Refresh.
class DreamArrange {
  public:
    explicit DreamArrange(DreamEngine& engine);
    DreamArrange(const DreamArrange&) = delete;
    DreamArrange& operator=(const DreamArrange&) = delete;

    void SetTypeFilter(int8_t type);  // -1: every type
    void SetSortKey(uint8_t key);     // 0 dt, 1 clarity, 2 duration
    void SetAscending(bool ascending);

    void Refresh();  // Filter, then Sort
    void Filter();
    void Sort();

    int Count() const { return static_cast<int>(indices_.size()); }
    // Throws XmlError "List index out of bounds (<position>)" outside
    // 0 .. Count()-1, like every other list of the journal.
    int IndexAt(int position) const;

  private:
    double KeyOf(const IXMLDreamTypePtr& dream) const;

    DreamEngine& engine_;
    std::vector<int32_t> indices_;
    bool ascending_ = true;
    int8_t typeFilter_ = -1;
    uint8_t sortKey_ = 0;
};

// Owns one open journal document, "data.xml" in the journal folder: writes it
// from the built-in template when the folder has none, opens and binds it,
// keeps the arranged view of its dreams and the settings file beside it.
// Edits reach the disk only through Save.
class DreamEngine {
  public:
    // The journal folder is the current folder, or its "DB" subfolder when
    // useCurrentDir is false. Throws platform::Error when the folder or the
    // document's place cannot be examined or made, XmlError, or the
    // binding's errors; no engine results then. The settings report their
    // problems to `reporter`.
    DreamEngine(bool useCurrentDir, platform::Reporter& reporter);
    // Writes the settings back; the document is not saved.
    ~DreamEngine();
    DreamEngine(const DreamEngine&) = delete;
    DreamEngine& operator=(const DreamEngine&) = delete;

    void Save();  // throws XmlError naming the path
    // The settings file is left as it was when the engine goes (the run
    // failed).
    void DiscardSettings();

    IXMLContentsTypePtr GetContents() { return contents_; }
    std::string GetFolder() { return folder_; }
    std::string GetPicsFolder() { return picsFolder_; }  // not created
    TIni& GetSettings() { return *ini_; }                // written when the engine goes

    int PlacesCount();
    int PositionsCount();
    // Blanks one entry in place: dreams refer to entries by position, so the
    // list keeps its length and every other entry its position.
    void ClearPlace(int index);
    void ClearPosition(int index);

    // The view as of its last refresh (at construction).
    int DreamCount();
    IXMLDreamTypePtr GetDream(int index);  // index: a position in the view

  private:
    std::string DocumentPath() const;
    void CreateDocument();

    platform::Reporter& reporter_;
    std::string folder_;
    std::string picsFolder_;
    std::shared_ptr<TXMLDocument> document_;
    IXMLContentsTypePtr contents_;
    std::unique_ptr<DreamArrange> arrange_;
    std::unique_ptr<TIni> ini_;
};
