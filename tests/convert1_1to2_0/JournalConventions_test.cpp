// A journal carries the conventions of the Windows that wrote it, such as
// its decimal separator. The conversion keeps them, whatever the converting
// machine's locale says.
#include <gtest/gtest.h>

#include "convert1_1to2_0/ConvertJournal.h"
#include "platform/Numbers.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// Stands in for the converting machine's locale.
struct LocaleSeparator {
    explicit LocaleSeparator(char c) { platform::SetDecimalSeparatorForTesting(c); }
    ~LocaleSeparator() { platform::SetDecimalSeparatorForTesting(0); }
};

struct LegacyRecord {
    std::string date;  // as the file shows it
    std::string text;
};

// A plain data file exactly as the legacy program writes it.
std::string PlainJournal(const std::vector<std::string>& places,
                         const std::vector<std::string>& positions,
                         const std::vector<LegacyRecord>& records) {
    std::string text = std::to_string(records.size()) + "\x02PLACE\x03";
    for (const std::string& place : places)
        text += place + "\x02";
    text += "POSITION\x03";
    for (const std::string& position : positions)
        text += position + "\x02";
    text += "RECORD\x03";
    // clock, place, position, lucid and clarity all 0
    for (const LegacyRecord& record : records)
        text += record.date + "\x01" + "0\x01" + "0\x01" + "0\x01" + "0\x01" + "0\x01" +
                record.text + "\x02";
    return text;
}

struct Outcome {
    bool opened = false;
    std::string err;
};

Outcome Convert(const std::string& dir, const ConversionOptions& options) {
    ScopedCurrentDir cd(dir);
    testing::internal::CaptureStderr();
    Outcome run;
    try {
        run.opened = ConvertJournal(options).opened;
    } catch (...) {
        testing::internal::GetCapturedStderr();
        throw;
    }
    run.err = testing::internal::GetCapturedStderr();
    return run;
}

struct Document {
    std::vector<std::string> dts;  // as the file shows them
};

Document ReadDocument(const std::string& dir) {
    Document doc;
    const std::string bytes = ReadFile(dir + "/data.xml");
    for (size_t at = bytes.find("<dt>"); at != std::string::npos; at = bytes.find("<dt>", at)) {
        at += 4;
        doc.dts.push_back(bytes.substr(at, bytes.find("</dt>", at) - at));
    }
    return doc;
}

}  // namespace

TEST(JournalConventionsTest, DatesKeepTheSeparatorTheJournalWasWrittenWith) {
    struct Case {
        char locale;
        std::vector<std::string> dates;
        std::vector<std::string> written;  // in the document and the data file
    } cases[] = {
        {'.', {"39448,5", "39449,30078125"}, {"39448,5", "39449,30078125"}},
        {',', {"39448.5", "-1.5"}, {"39448.5", "-1.5"}},
        {',', {"39448", "39449"}, {"39448", "39449"}},  // none shown: the locale's
        {'.', {"39448", "39449,75"}, {"39448", "39449,75"}},
        // Mixed: the first one shown decides.
        {'.', {"39448,5", "39449.25"}, {"39448,5", "39449,25"}},
    };
    for (const Case& c : cases) {
        LocaleSeparator locale(c.locale);
        std::vector<LegacyRecord> records, written;
        for (size_t i = 0; i < c.dates.size(); ++i) {
            records.push_back({c.dates[i], "text"});
            written.push_back({c.written[i], "text"});
        }
        TempDir dir;
        WriteFile(dir.File("data"), PlainJournal({}, {}, records));
        ASSERT_TRUE(Convert(dir.path(), ConversionOptions()).opened);
        EXPECT_EQ(c.written, ReadDocument(dir.path()).dts) << c.dates[0];
        EXPECT_EQ(PlainJournal({}, {}, written), Decipher(dir.File("data"), "")) << c.dates[0];
        // The run's choice ends with the run.
        EXPECT_EQ(c.locale, platform::DecimalSeparator());
    }
}
