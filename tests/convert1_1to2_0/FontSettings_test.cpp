// The user's fonts come along into a new "ini.txt", through the built program.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "support/TestSupport.h"

using namespace testing_support;

namespace {

// "ini.txt" as the newer release writes it: its defaults, with `changes`.
std::string SettingsFile(const std::map<std::string, std::string>& changes) {
    std::map<std::string, std::string> values = {{"DreamFontBold", "0"},
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
                                                 {"LucidFontUnderl", "0"}};
    for (const auto& change : changes)
        values[change.first] = change.second;
    std::string text;
    for (const auto& value : values)
        text += value.first + " " + value.second + "\r\n";
    return text;
}

struct FontCase {
    std::string legacy;                // "ini"
    std::optional<std::string> newer;  // "ini.txt" before the run
    std::map<std::string, std::string> expected;
    std::string warning;
};

}  // namespace

TEST(FontSettingsTest, LegacyFontsReachOnlyANewSettingsFile) {
    const std::vector<FontCase> cases = {
        {"DREAM_NUM 12\r\nLANGUAGE 1\r\nDREAM_FONT_NAME Times New Roman\r\n"
         "DREAM_FONT_SIZE 14\r\nDREAM_FONT_COLOR 255\r\nDREAM_FONT_BOLD 1\r\n"
         "DREAM_FONT_ITALIC 1\r\nDREAM_FONT_UNDERL 1\r\n"
         "VISION_FONT_NAME \xD0\xE0\xE7\xED\xFB\xE9\r\nVISION_FONT_SIZE 9\r\n"
         "VISION_FONT_COLOR 65280\r\nVISION_FONT_BOLD 1\r\n"
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
        // All 32 bits of a colour; any flag but 0 is set; reading stops at a bad value.
        {"DREAM_FONT_COLOR -1\r\nDREAM_FONT_BOLD 7\r\nVISION_FONT_SIZE x\r\nVISION_FONT_BOLD 1\r\n",
         std::nullopt,
         {{"DreamFontColor", "0xffffffff"}, {"DreamFontBold", "1"}},
         "VISION_FONT_SIZE, \"x\", is not a 32-bit whole number"},
        // Names the newer release cannot hold or use.
        {"DREAM_FONT_NAME " + std::string(63, 'n') +
             "\r\nVISION_FONT_NAME \r\nDREAM_FONT_SIZE 8\r\n",
         std::nullopt,
         {{"DreamFontSize", "8"}},
         "DREAM_FONT_NAME cannot be carried"},
        {"DREAM_FONT_SIZE 14\r\n",
         "Language R\r\nDreamFontSize 9\r\n",
         {{"Language", "R"}, {"DreamFontSize", "9"}},
         ""},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.legacy);
        TempDir dir;
        WriteFile(dir.File("ini"), c.legacy);
        if (c.newer)
            WriteFile(dir.File("ini.txt"), *c.newer);
        const ProcessResult run = RunConverter(dir.path());
        EXPECT_EQ(0, run.exitStatus) << run.err;
        EXPECT_EQ(SettingsFile(c.expected), ReadFile(dir.File("ini.txt")));
        EXPECT_EQ(c.warning.empty(), run.err.find("Warning") == std::string::npos) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(c.warning)) << run.err;
        EXPECT_EQ(c.legacy, ReadFile(dir.File("ini")));
    }
}
