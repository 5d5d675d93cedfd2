#include "convert1_1to2_0/DataFile.h"

#include "platform/os/BufferedIO.h"
#include "platform/os/Env.h"
#include "platform/text/Numbers.h"
#include "platform/text/TextMode.h"

namespace {
const char kFieldEnd = '\x01';
const char kItemEnd = '\x02';
const char kSectionEnd = '\x03';

using platform::Quoted;

// A token of the data file: the bytes up to and including the next item or
// section end. A final item end is dropped; a final section end is kept.
struct Token {
    std::string text;
    bool endOfFile = false;  // the file ended before a separator
    bool EndsSection() const { return !text.empty() && text.back() == kSectionEnd; }
};

// The plain file's bytes, read a token at a time.
class Tokens {
  public:
    explicit Tokens(std::string_view bytes) : bytes_(bytes) {}

    Token Next() {
        Token token;
        const size_t end = bytes_.find_first_of(kSeparators, next_);
        if (end == std::string_view::npos) {
            token.text = bytes_.substr(next_);
            token.endOfFile = true;
            next_ = bytes_.size();
            return token;
        }
        // A section end stays in the token; an item end does not.
        token.text = bytes_.substr(next_, end - next_ + (bytes_[end] == kSectionEnd ? 1 : 0));
        next_ = end + 1;
        return token;
    }

  private:
    static constexpr char kSeparators[] = {kItemEnd, kSectionEnd, '\0'};
    std::string_view bytes_;
    size_t next_ = 0;
};

// The decimal separator a date field shows, or 0 for a whole number.
char SeparatorOf(const std::string& date) {
    const size_t at = date.find_first_of(".,");
    return at == std::string::npos ? 0 : date[at];
}

class RecordParser {
  public:
    RecordParser(const std::string& fileName, int number, platform::Reporter& reporter)
        : fileName_(fileName), number_(number), reporter_(reporter) {}

    // The separator of the date just parsed; 0 when it had none or was unreadable.
    char separator() const { return separator_; }

    // date, clock, place, position, lucid, clarity, text. Each number is read
    // from its own field, so an unreadable one spoils only itself.
    TRecord Parse(const std::string& token) {
        std::vector<std::string> fields;
        size_t start = 0;
        while (fields.size() < 6) {
            size_t end = token.find(kFieldEnd, start);
            if (end == std::string::npos)
                break;
            fields.push_back(token.substr(start, end - start));
            start = end + 1;
        }
        TRecord record;
        if (fields.size() < 6) {
            fields.push_back(token.substr(start));
            Warn("has " + std::to_string(fields.size()) + " of its 7 fields; the rest read as 0");
            fields.resize(7);
        } else {
            fields.push_back(token.substr(start));
        }
        if (platform::ParseFloat(fields[0], &record.date))
            separator_ = SeparatorOf(fields[0]);
        else
            Unreadable("date", fields[0]);
        record.clock = Int("clock", fields[1]);
        record.place = Int("place", fields[2]);
        record.position = Int("position", fields[3]);
        record.lucid = Int("lucid", fields[4]) != 0;
        record.clarity = Int("clarity", fields[5]);
        record.text = fields[6];
        return record;
    }

  private:
    int32_t Int(const char* name, const std::string& field) {
        int32_t value = 0;
        if (!platform::ParseInt32(field, &value))
            Unreadable(name, field);
        return value;
    }
    void Unreadable(const char* name, const std::string& field) {
        if (!reported_)
            Warn(std::string(name) + " " + Quoted(field) + " is not a number; read as 0");
    }
    void Warn(const std::string& what) {
        reporter_.Warning("data file " + Quoted(fileName_) + ", record " + std::to_string(number_) +
                          ": " + what);
        reported_ = true;
    }

    const std::string& fileName_;
    int number_;
    platform::Reporter& reporter_;
    bool reported_ = false;
    char separator_ = 0;
};

// Text mode stores a line break as CR LF. A text read from the file holds
// its line breaks so already, and one typed anew may hold a bare LF: both
// are stored as one CR LF, or each run would add a CR to a line break.
std::string StoredLines(const std::string& text) {
    return platform::ToTextMode(platform::FromTextMode(text));
}

}  // namespace

bool LooksLikePlainJournal(const std::string& head) {
    const std::string text = platform::FromTextMode(head.substr(0, 15));
    size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    return digits > 0 && text.find("PLACE") != std::string::npos;
}

void WriteDataFile(platform::Folder& folder, const std::string& name,
                   const std::vector<std::string>& places,
                   const std::vector<std::string>& positions, const std::vector<TRecord>& records,
                   char decimalSeparator) {
    if (decimalSeparator == 0)
        decimalSeparator = platform::DecimalSeparator();
    platform::AtomicFileWriter out(folder, name);
    std::string text = std::to_string(records.size()) + kItemEnd + "PLACE" + kSectionEnd;
    for (const std::string& place : places)
        text += place + kItemEnd;
    text += std::string("POSITION") + kSectionEnd;
    for (const std::string& position : positions)
        text += position + kItemEnd;
    text += std::string("RECORD") + kSectionEnd;
    out.Write(StoredLines(text));
    for (const TRecord& record : records) {
        text = platform::FormatDouble(record.date, decimalSeparator) + kFieldEnd +
               std::to_string(record.clock) + kFieldEnd + std::to_string(record.place) + kFieldEnd +
               std::to_string(record.position) + kFieldEnd + (record.lucid ? "1" : "0") +
               kFieldEnd + std::to_string(record.clarity) + kFieldEnd + record.text + kItemEnd;
        out.Write(StoredLines(text));
    }
    out.Commit();
}

void ReadDataFile(platform::Folder& folder, const std::string& name, platform::Reporter& reporter,
                  int32_t* statedCount, std::vector<std::string>* places,
                  std::vector<std::string>* positions, std::vector<TRecord>* records,
                  char* decimalSeparator) {
    std::string bytes;
    platform::ThrowIfFailed(platform::ReadWholeFile(folder, name, &bytes));
    ParseDataFile(bytes, folder.PathOf(name), reporter, statedCount, places, positions, records,
                  decimalSeparator);
}

void ParseDataFile(std::string_view bytes, const std::string& path, platform::Reporter& reporter,
                   int32_t* statedCount, std::vector<std::string>* places,
                   std::vector<std::string>* positions, std::vector<TRecord>* records,
                   char* decimalSeparator) {
    char separator = 0;
    Tokens in(bytes);
    Token token = in.Next();
    if (!platform::ParseInt32(token.text, statedCount))
        throw platform::Error(platform::Status::Make(platform::StatusCode::kCorrupt,
                                                     "data file " + Quoted(path) +
                                                         ": the record count " +
                                                         Quoted(token.text) + " is not a number",
                                                     path));

    // The lists are read whatever the count says: a count of 0 does not make
    // the places and positions of the file disappear.
    token = in.Next();  // "PLACE"
    for (token = in.Next(); !token.endOfFile && !token.EndsSection(); token = in.Next())
        places->push_back(token.text);
    if (!token.endOfFile) {
        for (token = in.Next(); !token.endOfFile && !token.EndsSection(); token = in.Next())
            positions->push_back(token.text);
    }
    if (!token.endOfFile) {
        for (token = in.Next();; token = in.Next()) {
            if (token.endOfFile && token.text.empty())
                break;
            // A record the end of the file cuts short is still the user's
            // text; it is kept rather than dropped.
            const int number = static_cast<int>(records->size()) + 1;
            if (token.endOfFile)
                reporter.Warning("data file " + Quoted(path) + ", record " +
                                 std::to_string(number) +
                                 ": the file ends inside it; kept as read");
            RecordParser parser(path, number, reporter);
            records->push_back(parser.Parse(token.text));
            if (separator == 0)
                separator = parser.separator();
            if (token.endOfFile)
                break;
        }
    }
    if (decimalSeparator != nullptr)
        *decimalSeparator = separator;
}
