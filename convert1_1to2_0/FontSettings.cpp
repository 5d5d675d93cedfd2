#include "convert1_1to2_0/FontSettings.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "convert1_1to2_0/IniFile.h"
#include "core/ini.h"
#include "platform/Status.h"

namespace {

enum class Kind { kName, kNumber, kFlag, kColour };

struct FontSetting {
    const char* legacyKey;
    const char* key;
    Kind kind;
};

const FontSetting kFontSettings[] = {
    {"DREAM_FONT_NAME", "DreamFontName", Kind::kName},
    {"DREAM_FONT_SIZE", "DreamFontSize", Kind::kNumber},
    {"DREAM_FONT_COLOR", "DreamFontColor", Kind::kColour},
    {"DREAM_FONT_BOLD", "DreamFontBold", Kind::kFlag},
    {"DREAM_FONT_ITALIC", "DreamFontItalic", Kind::kFlag},
    {"DREAM_FONT_UNDERL", "DreamFontUnderl", Kind::kFlag},
    {"VISION_FONT_NAME", "LucidFontName", Kind::kName},
    {"VISION_FONT_SIZE", "LucidFontSize", Kind::kNumber},
    {"VISION_FONT_COLOR", "LucidFontColor", Kind::kColour},
    {"VISION_FONT_BOLD", "LucidFontBold", Kind::kFlag},
    {"VISION_FONT_ITALIC", "LucidFontItalic", Kind::kFlag},
    {"VISION_FONT_UNDERL", "LucidFontUnderl", Kind::kFlag},
};

// The newer release reads a value of at most this many characters.
constexpr size_t kMaxValueLength = 62;

// The colour as the newer release writes it: "0x" and eight lower-case hex
// digits of the colour's 32 bits.
std::string Colour(int32_t value) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<uint32_t>(value));
    return text;
}

}  // namespace

void CarryFontSettings(const TIniFile& legacy, TIni& settings, platform::Reporter& reporter) {
    if (!settings.IsNew())
        return;
    for (const FontSetting& setting : kFontSettings) {
        if (legacy.ReadKeys.count(setting.legacyKey) == 0)
            continue;
        std::string value;
        if (setting.kind == Kind::kName) {
            value = legacy.StrValues.at(setting.legacyKey);
            // An empty name names no font; a longer one the newer release
            // would read only in part, taking the rest for another setting.
            if (value.empty() || value.size() > kMaxValueLength) {
                reporter.Warning(platform::Quoted(legacy.FileName) + ": " + setting.legacyKey +
                                 " cannot be carried into " + platform::Quoted(settings.FileName) +
                                 "; the default font stands");
                continue;
            }
        } else {
            const int32_t number = legacy.IntValues.at(setting.legacyKey);
            if (setting.kind == Kind::kColour)
                value = Colour(number);
            else if (setting.kind == Kind::kFlag)
                value = number != 0 ? "1" : "0";
            else
                value = std::to_string(number);
        }
        settings.Data[setting.key] = value;
    }
}
