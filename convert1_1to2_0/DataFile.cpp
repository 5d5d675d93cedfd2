#include "convert1_1to2_0/DataFile.h"

#include "platform/BufferedIO.h"
#include "platform/Numbers.h"
#include "platform/TextMode.h"

namespace {
const char kFieldEnd = '\x01';
const char kItemEnd = '\x02';
const char kSectionEnd = '\x03';
}  // namespace

void WriteDataFile(const std::string& path, const std::vector<std::string>& places,
                   const std::vector<std::string>& positions, const std::vector<TRecord>& records) {
    platform::AtomicFileWriter out(platform::Env::Current(), path);
    std::string text = std::to_string(records.size()) + kItemEnd + "PLACE" + kSectionEnd;
    for (const std::string& place : places)
        text += place + kItemEnd;
    text += std::string("POSITION") + kSectionEnd;
    for (const std::string& position : positions)
        text += position + kItemEnd;
    text += std::string("RECORD") + kSectionEnd;
    out.Write(platform::ToTextMode(text));
    for (const TRecord& record : records) {
        text = platform::FormatDouble(record.date) + kFieldEnd + std::to_string(record.clock) +
               kFieldEnd + std::to_string(record.place) + kFieldEnd +
               std::to_string(record.position) + kFieldEnd + (record.lucid ? "1" : "0") +
               kFieldEnd + std::to_string(record.clarity) + kFieldEnd + record.text + kItemEnd;
        out.Write(platform::ToTextMode(text));
    }
    out.Commit();
}
