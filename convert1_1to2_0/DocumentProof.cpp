#include "convert1_1to2_0/DocumentProof.h"

#include <cstring>
#include <vector>

#include "convert1_1to2_0/LucidMarkers.h"
#include "platform/text/CodePage.h"
#include "platform/text/Numbers.h"
#include "platform/xml/XmlCodec.h"
#include "platform/xml/XmlStream.h"

using platform::Quoted;
using platform::Status;
using platform::XmlStream;

namespace {

// Long texts are shown by their start; the difference is usually there.
std::string Shown(const std::string& text) {
    constexpr size_t kShown = 60;
    if (text.size() <= kShown)
        return Quoted(text);
    size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;  // not inside a UTF-8 sequence
    return Quoted(text.substr(0, cut)) + "...";
}

// What the document holds of a legacy text: widened from its code page,
// with the characters XML cannot hold replaced as the writer replaces them.
// A code page widens one character per byte, so each byte has one stored
// form, worked out once: a whole journal's texts are then compared without
// building what they would be.
class StoredForm {
  public:
    explicit StoredForm(int codePage) {
        for (int byte = 0; byte < 256; ++byte) {
            const std::string form = platform::ToXmlUtf8(
                platform::WidenCodePage(std::string(1, static_cast<char>(byte)), codePage));
            Form& entry = forms_[byte];
            entry.size = static_cast<unsigned char>(form.size());  // at most 3: one BMP character
            std::memcpy(entry.bytes, form.data(), form.size());
        }
    }

    // Whether `stored` is what the document holds of `legacy`.
    bool Matches(std::string_view stored, std::string_view legacy) const {
        size_t at = 0;
        for (char c : legacy) {
            const Form& form = forms_[static_cast<unsigned char>(c)];
            if (stored.size() - at < form.size ||
                std::memcmp(stored.data() + at, form.bytes, form.size) != 0)
                return false;
            at += form.size;
        }
        return at == stored.size();
    }

    std::string Of(std::string_view legacy) const {
        std::string stored;
        for (char c : legacy) {
            const Form& form = forms_[static_cast<unsigned char>(c)];
            stored.append(form.bytes, form.size);
        }
        return stored;
    }

  private:
    struct Form {
        char bytes[4];
        unsigned char size;
    };
    Form forms_[256];
};

// The fields of one Dream element as the document spells them.
struct DreamFields {
    static constexpr const char* kNames[] = {"dt",       "clock",    "subject", "type", "place",
                                             "position", "duration", "clarity", "text"};
    static constexpr int kCount = 9;
    std::string values[kCount];
    bool present[kCount] = {};

    static int IndexOf(std::string_view name) {
        for (int i = 0; i < kCount; ++i) {
            if (name == kNames[i])
                return i;
        }
        return -1;
    }
};

class Prover {
  public:
    Prover(const std::string& path, const TDreamBase& legacy, int codePage)
        : path_(path),
          legacy_(legacy),
          legacyPlaces_(legacy.GetPlaces()),
          legacyPositions_(legacy.GetPositions()),
          stored_(codePage) {}

    Status Prove(XmlStream& stream, const std::atomic<bool>& stop) {
        // Where the stream stands: the names of the open elements.
        std::vector<std::string> open;
        std::string text;
        int field = -1;
        DreamFields dream;
        while (stream.Next()) {
            switch (stream.node()) {
                case XmlStream::Node::kStart:
                    open.emplace_back(stream.name());
                    text.clear();
                    if (open.size() == 3 && open[1] == "Dreams" && open[2] == "Dream") {
                        dream = DreamFields();
                        if (stop.load(std::memory_order_relaxed))
                            return Status::OK();
                    } else if (open.size() == 4 && open[2] == "Dream") {
                        field = DreamFields::IndexOf(stream.name());
                    }
                    break;
                case XmlStream::Node::kText:
                    text += stream.text();
                    break;
                case XmlStream::Node::kEnd: {
                    Status status = Close(open, text, &field, &dream);
                    if (!status.ok())
                        return status;
                    open.pop_back();
                    text.clear();
                    break;
                }
            }
        }
        if (places_ < legacyPlaces_.size())
            return Differs("it has " + std::to_string(places_) + " places, the journal " +
                           std::to_string(legacyPlaces_.size()));
        if (positions_ < legacyPositions_.size())
            return Differs("it has " + std::to_string(positions_) + " positions, the journal " +
                           std::to_string(legacyPositions_.size()));
        if (dreams_ != legacy_.RecordCount())
            return Differs("it has " + std::to_string(dreams_) + " dreams, the journal " +
                           std::to_string(legacy_.RecordCount()));
        return Status::OK();
    }

  private:
    // An element ends: its text is complete.
    Status Close(const std::vector<std::string>& open, const std::string& text, int* field,
                 DreamFields* dream) {
        if (open.size() == 1 && open[0] != "Contents")
            return Differs("its root is " + Quoted(open[0]) + ", not \"Contents\"");
        if (open.size() == 3 && open[1] == "Places" && open[2] == "place")
            return Entry("place", legacyPlaces_, places_++, text);
        if (open.size() == 3 && open[1] == "Positions" && open[2] == "position")
            return Entry("position", legacyPositions_, positions_++, text);
        if (open.size() == 4 && open[2] == "Dream" && *field >= 0) {
            dream->values[*field] = text;
            dream->present[*field] = true;
            *field = -1;
        } else if (open.size() == 3 && open[1] == "Dreams" && open[2] == "Dream") {
            return Dream(*dream);
        }
        return Status::OK();
    }

    // List entry `index`: the legacy entry of that number, or, after them,
    // an entry of the template's, blanked.
    Status Entry(const char* what, const std::vector<std::string>& legacy, size_t index,
                 const std::string& text) {
        const std::string_view entry =
            index < legacy.size() ? std::string_view(legacy[index]) : std::string_view();
        if (stored_.Matches(text, entry))
            return Status::OK();
        const std::string expected = stored_.Of(entry);
        return Differs(std::string(what) + " " + std::to_string(index + 1) + " is " + Shown(text) +
                       " in the document, " + Shown(expected) +
                       (index < legacy.size() ? " in the journal" : " (blanked) expected"));
    }

    Status Dream(const DreamFields& found) {
        const int number = dreams_++;
        if (number >= legacy_.RecordCount())
            return Differs("dream " + std::to_string(number + 1) + " is not in the journal");
        const TRecord record = legacy_.GetRecord(number);
        for (int i = 0; i < DreamFields::kCount; ++i) {
            if (!found.present[i])
                return DreamDiffers(number, DreamFields::kNames[i], "(missing)", "");
        }
        // The date as the float the journal holds: the text is written with
        // the journal's own decimal separator, and may be read with either.
        float date = 0;
        const std::string& dt = found.values[0];
        if (!platform::ParseFloat(dt, &date) || std::memcmp(&date, &record.date, sizeof date) != 0)
            return DreamDiffers(number, "dt", dt, platform::FormatDouble(record.date, '.'));
        const struct {
            int index;
            int32_t expected;
        } numbers[] = {
            {1, record.clock},
            {3, record.lucid ? 1 : 0},
            {4, static_cast<int32_t>(static_cast<uint32_t>(record.place) - 1u)},
            {5, static_cast<int32_t>(static_cast<uint32_t>(record.position) - 1u)},
            {6, 0},
            {7, record.clarity},
        };
        for (const auto& n : numbers) {
            int32_t value = 0;
            const std::string& textual = found.values[n.index];
            if (!platform::ParseInt32(textual, &value) || value != n.expected)
                return DreamDiffers(number, DreamFields::kNames[n.index], textual,
                                    std::to_string(n.expected));
        }
        if (!found.values[2].empty())
            return DreamDiffers(number, "subject", found.values[2], "");
        const std::string text = ConvertLucidMarkers(record.text);
        if (!stored_.Matches(found.values[8], text))
            return DreamDiffers(number, "text", found.values[8], stored_.Of(text));
        return Status::OK();
    }

    Status DreamDiffers(int number, const char* field, const std::string& found,
                        const std::string& expected) {
        return Differs("dream " + std::to_string(number + 1) + ", its " + field + ": " +
                       Shown(found) + " in the document, " + Shown(expected) + " from the journal");
    }

    Status Differs(const std::string& what) {
        return Status::Make(platform::StatusCode::kCorrupt,
                            "the saved document " + Quoted(path_) +
                                " does not hold the journal as it was read: " + what,
                            path_);
    }

    const std::string& path_;
    const TDreamBase& legacy_;
    const std::vector<std::string> legacyPlaces_;
    const std::vector<std::string> legacyPositions_;
    const StoredForm stored_;
    size_t places_ = 0;
    size_t positions_ = 0;
    int dreams_ = 0;
};

}  // namespace

BackgroundProof::BackgroundProof(std::string document, std::string path, const TDreamBase& legacy,
                                 int codePage)
    : document_(std::move(document)), path_(std::move(path)) {
    thread_ = std::thread([this, &legacy, codePage] {
        try {
            result_ = ProveDocument(document_, path_, legacy, codePage, stop_);
        } catch (const std::exception& error) {  // out of memory, most likely
            result_ = Status::Make(
                platform::StatusCode::kIoError,
                "cannot read the saved document back: " + std::string(error.what()), path_);
        }
    });
}

BackgroundProof::~BackgroundProof() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

Status BackgroundProof::Result() {
    if (thread_.joinable())
        thread_.join();
    return result_;
}

Status ProveDocument(const std::string& document, const std::string& path, const TDreamBase& legacy,
                     int codePage, const std::atomic<bool>& stop) {
    try {
        XmlStream stream(document, path);
        return Prover(path, legacy, codePage).Prove(stream, stop);
    } catch (const platform::Error& error) {
        return Status::Make(platform::StatusCode::kCorrupt,
                            "the saved document cannot be read back: " + error.status().message(),
                            path);
    }
}
