#include "core/DocumentTemplate.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>

#include "platform/os/Env.h"
#include "support/FaultInjectionEnv.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

// The 28 lines as the journal has always written them.
const char* const kExpectedLines[] = {
    "<?xml version=\"1.0\" encoding=\"Windows-1251\"?>",
    "<Contents>",
    "\t<Clocks>",
    "\t\t<clock>time</clock>",
    "\t\t<clock>morning</clock>",
    "\t\t<clock>day</clock>",
    "\t\t<clock>evening</clock>",
    "\t\t<clock>night</clock>",
    "        <clock>?</clock>",
    "\t</Clocks>",
    "\t<Types>",
    "\t\t<type>dream</type>",
    "\t\t<type>lucid</type>",
    "\t\t<type>OOBE</type>",
    "\t</Types>",
    "\t<Places>",
    "\t\t<place>home</place>",
    "\t</Places>",
    "\t<Positions>",
    "\t\t<position>?</position>",
    "\t\t<position>back</position>",
    "\t\t<position>venter</position>",
    "\t\t<position>left side</position>",
    "\t\t<position>right side</position>",
    "\t</Positions>",
    "\t<Dreams>",
    "\t</Dreams>",
    "</Contents>",
};

std::string Join(const char* separator) {
    std::string text;
    for (const char* line : kExpectedLines) {
        if (!text.empty())
            text += separator;
        text += line;
    }
    return text;
}

}  // namespace

TEST(DocumentTemplateTest, TextIsTheTwentyEightLinesWithoutFinalLineBreak) {
    const std::string text = BuildDocumentTemplate();
    EXPECT_EQ(Join("\n"), text);
    EXPECT_EQ(552u, text.size());
    EXPECT_EQ(27, std::count(text.begin(), text.end(), '\n'));
    EXPECT_NE(std::string::npos, text.find("\n        <clock>?</clock>\n"));
    EXPECT_EQ('>', text.back());
}

TEST(DocumentTemplateTest, WrittenWithCrLfLineEnds) {
    TempDir dir;
    const std::string path = dir.File("data.xml");
    ASSERT_TRUE(WriteDocumentTemplate(*testing_support::OpenFolder(dir.path()), "data.xml").ok());
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(579u, bytes.size());
    EXPECT_EQ(Join("\r\n"), bytes);
}

TEST(DocumentTemplateTest, ReplacesAnExistingFileWhole) {
    TempDir dir;
    const std::string path = dir.File("data.xml");
    testing_support::WriteFile(path, std::string(5000, 'x'));
    ASSERT_TRUE(WriteDocumentTemplate(*testing_support::OpenFolder(dir.path()), "data.xml").ok());
    EXPECT_EQ(Join("\r\n"), ReadFile(path));
}

TEST(DocumentTemplateTest, FailureIsReportedAndLeavesTheTargetAlone) {
    TempDir dir;
    // A folder name in its place: the template goes nowhere else.
    testing_support::MakeFolder(dir.File("data.xml"));
    platform::Status status =
        WriteDocumentTemplate(*testing_support::OpenFolder(dir.path()), "data.xml");
    ASSERT_FALSE(status.ok());
    EXPECT_NE(std::string::npos, status.message().find(dir.File("data.xml"))) << status.message();
    std::filesystem::remove(dir.File("data.xml"));

    const std::string path = dir.File("data.xml");
    testing_support::WriteFile(path, "old");
    platform::FaultInjectionEnv env(platform::Env::Real());
    platform::ScopedEnv scoped(env);
    env.FailAt(3);  // after opening the folder and creating the temporary file: its write
    EXPECT_FALSE(WriteDocumentTemplate(*testing_support::OpenFolder(dir.path()), "data.xml").ok());
    EXPECT_EQ("old", ReadFile(path));
}
