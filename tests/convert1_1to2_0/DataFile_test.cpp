#include "convert1_1to2_0/DataFile.h"

#include <gtest/gtest.h>

#include "platform/text/Numbers.h"
#include "support/Journals.h"
#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// A record line: the fields joined by 0x01, ended by 0x02.
std::string Line(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i)
        line += (i > 0 ? "\x01" : "") + fields[i];
    return line + "\x02";
}

struct Journal {
    int32_t stated = -1;
    std::vector<std::string> places, positions;
    std::vector<TRecord> records;
    std::string warnings;  // what reading said
};

Journal Read(const std::string& path) {
    Journal journal;
    RecordingReporter said;
    ReadDataFile(path, said, &journal.stated, &journal.places, &journal.positions,
                 &journal.records);
    journal.warnings = said.err();
    return journal;
}

}  // namespace

TEST(DataFileTest, ReadsListsAndEveryRecordField) {
    TempDir dir;
    WriteFile(dir.File("data"), "2\x02PLACE\x03p1\x02\x02p3\x02POSITION\x03s1\x02RECORD\x03" +
                                    Line({"39448.5", "3", "1", "2", "2", "-7", "a\r\nb\x01x"}) +
                                    Line({"7", "0", "0", "0", "0", "0", ""}));
    Journal journal = Read(dir.File("data"));
    EXPECT_EQ(2, journal.stated);
    EXPECT_EQ((std::vector<std::string>{"p1", "", "p3"}), journal.places);  // empty is an entry
    EXPECT_EQ(std::vector<std::string>{"s1"}, journal.positions);
    ASSERT_EQ(2u, journal.records.size());
    const TRecord& r = journal.records[0];
    EXPECT_EQ(39448.5f, r.date);
    EXPECT_EQ(3, r.clock);
    EXPECT_EQ(1, r.place);
    EXPECT_EQ(2, r.position);
    EXPECT_TRUE(r.lucid);  // "2" is true
    EXPECT_EQ(-7, r.clarity);
    EXPECT_EQ("a\r\nb\x01x", r.text);  // the text takes the rest, separators and all
    EXPECT_EQ("", journal.records[1].text);
}

TEST(DataFileTest, DamagedRecordsAreKeptAndReported) {
    TempDir dir;
    WriteFile(dir.File("data"), "3\x02PLACE\x03POSITION\x03RECORD\x03" + Line({"5", "2"}) +
                                    Line({"x", "1", "?", "3", "0", "4", "t"}) +
                                    Line({"1", "0", "0", "0", "0", "0", "cut sh"}).substr(0, 16));
    Journal journal = Read(dir.File("data"));
    const std::string prefix = "Warning: data file \"" + dir.File("data") + "\", record ";
    EXPECT_EQ(prefix + "1: has 2 of its 7 fields; the rest read as 0\n" + prefix +
                  "2: date \"x\" is not a number; read as 0\n" + prefix +
                  "3: the file ends inside it; kept as read\n",
              journal.warnings);
    ASSERT_EQ(3u, journal.records.size());
    EXPECT_EQ(5.0f, journal.records[0].date);
    EXPECT_EQ(2, journal.records[0].clock);
    EXPECT_EQ("", journal.records[0].text);
    // Only the unreadable numbers are lost; the rest of the record stands.
    EXPECT_EQ(0.0f, journal.records[1].date);
    EXPECT_EQ(1, journal.records[1].clock);
    EXPECT_EQ(0, journal.records[1].place);
    EXPECT_EQ(3, journal.records[1].position);
    EXPECT_EQ(4, journal.records[1].clarity);
    EXPECT_EQ("t", journal.records[1].text);
    EXPECT_EQ("cut ", journal.records[2].text);
}

TEST(DataFileTest, WhatIsWrittenReadsBackUnderEitherSeparator) {
    LegacyJournal written;
    written.places = {"\xe4\xee\xec", ""};
    written.positions = {"back"};
    written.records = {Record(39450.30078125f, 1, 2, 0, true, -3, "x\ny [OC]z[/OC]"),
                       Record(-1.5f, 0, 0, 1, false, 0, "")};
    for (char separator : {'.', ','}) {
        TempDir dir;
        platform::SetDecimalSeparatorForTesting(separator);
        WritePlainJournal(dir.path(), written);
        platform::SetDecimalSeparatorForTesting(separator == '.' ? ',' : '.');
        Journal journal = Read(dir.File("data"));
        platform::SetDecimalSeparatorForTesting(0);
        EXPECT_EQ(2, journal.stated);
        EXPECT_EQ(written.places, journal.places);
        EXPECT_EQ(written.positions, journal.positions);
        ASSERT_EQ(2u, journal.records.size());
        EXPECT_EQ(39450.30078125f, journal.records[0].date) << separator;
        EXPECT_EQ(-1.5f, journal.records[1].date) << separator;
        EXPECT_EQ("x\r\ny [OC]z[/OC]", journal.records[0].text);  // stored in text mode
        EXPECT_TRUE(journal.records[0].lucid);
        EXPECT_EQ(-3, journal.records[0].clarity);
    }
}
