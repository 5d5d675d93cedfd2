#include "core/ini.h"

#include <exception>
#include <memory>
#include <utility>

#include "core/JournalFiles.h"
#include "core/Tracing.h"
#include "platform/os/Env.h"
#include "platform/text/TextMode.h"

namespace {

// Thirteen settings of at most 126 bytes a line take a few kilobytes; a file
// larger than this is not a settings file.
constexpr size_t kMaxFileSize = 1 << 20;

const std::pair<const char*, const char*> kDefaults[] = {
    {"Language", "E"},        {"DreamFontName", "Lucida Console"},
    {"DreamFontSize", "10"},  {"DreamFontColor", "0"},
    {"DreamFontBold", "0"},   {"DreamFontItalic", "0"},
    {"DreamFontUnderl", "0"}, {"LucidFontName", "Sylfaen"},
    {"LucidFontSize", "12"},  {"LucidFontColor", "0x00ff0000"},
    {"LucidFontBold", "0"},   {"LucidFontItalic", "0"},
    {"LucidFontUnderl", "0"},
};

}  // namespace

TIni::TIni(std::string folder, platform::Reporter& reporter)
    : FileName(platform::JoinPath(folder, journal_files::kSettings)), reporter_(reporter) {
    for (const auto& entry : kDefaults)
        Data[entry.first] = entry.second;
    Trace("ini::TIni:: opening ini file...\t");
    Load();
}

void TIni::Load() {
    platform::Env& env = platform::Env::Current();
    platform::FileKind kind;
    platform::Status status = env.GetFileKind(FileName, &kind);
    if (status.ok() && kind == platform::FileKind::kMissing) {
        // The file comes into being whole when the settings are written, so a
        // run cut short never leaves an empty or partial one behind.
        Trace("ini::TIni:: new ini file created\n");
        isNew_ = true;
        return;
    }
    std::string bytes;
    if (status.ok())
        status = platform::ReadSmallFile(env, FileName, kMaxFileSize, &bytes);
    if (!status.ok()) {
        saveOnExit_ = false;
        reporter_.Warning("settings file " + platform::Quoted(FileName) +
                          " not loaded, the defaults are used and the file is left as it is: " +
                          status.message());
        return;
    }
    Trace("OK\n");
    Parse(platform::FromTextMode(bytes));
}

void TIni::Parse(const std::string& text) {
    const size_t end = text.size();
    size_t pos = 0;
    while (pos < end && platform::IsStreamSpace(text[pos]))
        ++pos;
    if (pos == end) {
        Trace("ini::TIni:: ini file empty: no data to load\n");
        return;
    }
    while (pos < end) {
        const size_t keyStart = pos;
        while (pos < end && !platform::IsStreamSpace(text[pos]))
            ++pos;
        // A key that the end of the file cuts off, with nothing after it, is
        // not an entry.
        if (pos == end)
            break;
        std::string key = text.substr(keyStart, pos - keyStart);
        std::string value;
        // The blank after the key separates it from the value. A key alone on
        // its line has an empty value (editors like to strip a trailing
        // blank); the next line is left to the next entry.
        if (text[pos] != '\n') {
            ++pos;
            size_t lineEnd = text.find('\n', pos);
            if (lineEnd == std::string::npos)
                lineEnd = end;
            // Values longer than the format allows are kept whole: cutting
            // them would lose the user's data.
            value = text.substr(pos, lineEnd - pos);
            pos = lineEnd;
        }
        Data[std::move(key)] = std::move(value);
        while (pos < end && platform::IsStreamSpace(text[pos]))
            ++pos;
    }
    Trace("ini::TIni:: data from ini loaded\n");
}

TIni::~TIni() {
    Store();
}

void TIni::Discard() {
    saveOnExit_ = false;
}

void TIni::Store() noexcept {
    try {
        Trace("ini::~TIni:: saving data to ini file...\t");
        if (!saveOnExit_)
            return;
        std::string text;
        for (const auto& entry : Data) {
            text += entry.first;
            text += ' ';
            text += entry.second;
            text += '\n';
        }
        // Through a temporary file, so that a failed write never leaves a
        // truncated settings file behind.
        platform::Status status = platform::WriteFileAtomically(platform::Env::Current(), FileName,
                                                                platform::ToTextMode(text));
        if (!status.ok()) {
            reporter_.Warning("settings file " + platform::Quoted(FileName) +
                              " not saved: " + status.message());
            return;
        }
        Trace("OK\n");
    } catch (const std::exception& e) {
        // Nothing here may throw again: out of memory, a warning cannot be
        // built either.
        try {
            reporter_.Warning("settings file " + platform::Quoted(FileName) +
                              " not saved: " + e.what());
        } catch (...) {
        }
    }
}
