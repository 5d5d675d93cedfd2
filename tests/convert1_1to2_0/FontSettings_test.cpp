// The user's fonts come along into a new "ini.txt", through the built program.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "support/TestSupport.h"

using namespace testing_support;

namespace {

const std::map<std::string, std::string> kNewerDefaults = {
    {"DreamFontBold", "0"},
    {"DreamFontColor", "0"},
    {"DreamFontItalic", "0"},
    {"DreamFontName", "Lucida Console"},
    {"DreamFontSize", "10"},
    {"DreamFontUnderl", "0"},
    {"Language", "E"},
    {"LucidFontBold", "0"},
    {"LucidFontColor", "0x00ff0000"},
    {"LucidFontItalic", "0"},
    {"LucidFontName", "Sylfaen"},
    {"LucidFontSize", "12"},
    {"LucidFontUnderl", "0"},
};

// "ini.txt" as the newer release writes it: the defaults with `changes`.
std::string SettingsFile(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> values = kNewerDefaults;
    for (const auto& change : changes)
        values[change.first] = change.second;
    std::string text;
    for (const auto& value : values)
        text += value.first + " " + value.second + "\r\n";
    return text;
}

struct FontCase {
    std::string name;
    std::optional<std::string> legacy;            // "ini"
    std::optional<std::string> newer;             // "ini.txt" before the run
    std::map<std::string, std::string> expected;  // what differs from the defaults
    std::string warning;
};

}  // namespace

TEST(FontSettingsTest, LegacyFontsReachOnlyANewSettingsFile) {
    const std::string longName(63, 'n');
    const std::vector<FontCase> cases = {
        {"every font setting, and others that stay behind",
         "DREAM_NUM 12\r\nCRYPT 0\r\nLANGUAGE 1\r\nDREAM_FONT_NAME Times New Roman\r\n"
         "DREAM_FONT_SIZE 14\r\nDREAM_FONT_COLOR 255\r\nDREAM_FONT_BOLD 1\r\n"
         "DREAM_FONT_ITALIC 1\r\nDREAM_FONT_UNDERL 1\r\nVISION_FONT_NAME "
         "\xD0\xE0\xE7\xED\xFB\xE9\r\n"
         "VISION_FONT_SIZE 9\r\nVISION_FONT_COLOR 65280\r\nVISION_FONT_BOLD 1\r\n"
         "VISION_FONT_ITALIC 1\r\nVISION_FONT_UNDERL 1\r\n",
         std::nullopt,
         {{"DreamFontName", "Times New Roman"},
          {"DreamFontSize", "14"},
          {"DreamFontColor", "0x000000ff"},
          {"DreamFontBold", "1"},
          {"DreamFontItalic", "1"},
          {"DreamFontUnderl", "1"},
          {"LucidFontName", "\xD0\xE0\xE7\xED\xFB\xE9"},
          {"LucidFontSize", "9"},
          {"LucidFontColor", "0x0000ff00"},
          {"LucidFontBold", "1"},
          {"LucidFontItalic", "1"},
          {"LucidFontUnderl", "1"}},
         ""},
        {"a value equal to the legacy default is still the user's",
         "VISION_FONT_COLOR 16711680\r\nDREAM_FONT_SIZE 10\r\n",
         std::nullopt,
         {},
         ""},
        {"colours of all 32 bits, flags other than 1",
         "DREAM_FONT_COLOR -1\r\nVISION_FONT_COLOR 16777215\r\nDREAM_FONT_BOLD 7\r\n"
         "VISION_FONT_ITALIC -1\r\n",
         std::nullopt,
         {{"DreamFontColor", "0xffffffff"},
          {"LucidFontColor", "0x00ffffff"},
          {"DreamFontBold", "1"},
          {"LucidFontItalic", "1"}},
         ""},
        {"reading stops at a value that is not a number",
         "DREAM_FONT_SIZE 16\r\nDREAM_FONT_BOLD yes\r\nVISION_FONT_SIZE 20\r\n",
         std::nullopt,
         {{"DreamFontSize", "16"}},
         "the value of DREAM_FONT_BOLD, \"yes\", is not a 32-bit whole number"},
        {"a name the newer release cannot hold, and an empty one",
         "DREAM_FONT_NAME " + longName + "\r\nVISION_FONT_NAME \r\nDREAM_FONT_SIZE 8\r\n",
         std::nullopt,
         {{"DreamFontSize", "8"}},
         "DREAM_FONT_NAME cannot be carried"},
        {"no legacy settings", std::nullopt, std::nullopt, {}, ""},
        {"an existing ini.txt keeps every value",
         "DREAM_FONT_SIZE 14\r\nVISION_FONT_NAME Arial\r\n",
         "Language R\r\nDreamFontSize 9\r\n",
         {{"Language", "R"}, {"DreamFontSize", "9"}},
         ""},
        {"even one that holds only the defaults", "DREAM_FONT_SIZE 14\r\n", "", {}, ""},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.legacy)
            WriteFile(dir.File("ini"), *c.legacy);
        if (c.newer)
            WriteFile(dir.File("ini.txt"), *c.newer);
        const ProcessResult run = RunConverter(dir.path());
        EXPECT_EQ(0, run.exitStatus) << run.err;
        EXPECT_EQ(SettingsFile(c.expected), ReadFile(dir.File("ini.txt")));
        if (c.warning.empty()) {
            EXPECT_EQ(std::string::npos, run.err.find("Warning")) << run.err;
        } else {
            EXPECT_NE(std::string::npos, run.err.find(c.warning)) << run.err;
        }
        if (c.legacy) {
            EXPECT_EQ(*c.legacy, ReadFile(dir.File("ini")));
        }
    }
}
