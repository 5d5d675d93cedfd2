// The Windows console: standard output and error, the wide command line,
// reading a password without echo, and whether the console window is the
// program's own.
//
// This is the one place that writes to standard output and error. A console
// is given characters (UTF-16, through WriteConsoleW), so file names and the
// system's messages show as they are whatever the console's code page; a file
// or a pipe is given the UTF-8 bytes as they are, each line end written as
// CR LF, as the C runtime's text mode (and the older release) writes them.
// Neither way allocates: the same code serves a last word from anywhere.
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <atomic>
#include <cstring>

#include "platform/os/Console.h"
#include "platform/os/Interrupt.h"
#include "platform/os/windows/ConsoleWake.h"
#include "platform/os/windows/UniqueHandle.h"
#include "platform/os/windows/WindowsText.h"
#include "platform/text/Utf16.h"

namespace platform {
namespace {

// Puts a console's input mode back as it was found.
class ConsoleModeRestorer {
  public:
    ConsoleModeRestorer(HANDLE console, DWORD mode) : console_(console), mode_(mode) {}
    ~ConsoleModeRestorer() { SetConsoleMode(console_, mode_); }
    ConsoleModeRestorer(const ConsoleModeRestorer&) = delete;
    ConsoleModeRestorer& operator=(const ConsoleModeRestorer&) = delete;

  private:
    HANDLE console_;
    DWORD mode_;
};

std::atomic<HANDLE> readInProgress{nullptr};

// Texts go out in pieces of this many characters, through buffers on the stack.
constexpr size_t kPiece = 512;

bool WriteConsolePiece(HANDLE console, const wchar_t* text, size_t n) {
    while (n > 0) {
        DWORD written = 0;
        if (!WriteConsoleW(console, text, static_cast<DWORD>(n), &written, nullptr) || written == 0)
            return false;
        text += written;
        n -= written;
    }
    return true;
}

// `utf8` as characters, a malformed sequence as U+FFFD (see Utf16.h).
bool WriteConsoleText(HANDLE console, std::string_view utf8) {
    wchar_t piece[kPiece];
    size_t used = 0;
    size_t pos = 0;
    while (pos < utf8.size()) {
        if (used + 2 > kPiece) {  // room for CR LF or a surrogate pair
            if (!WriteConsolePiece(console, piece, used))
                return false;
            used = 0;
        }
        const char32_t code = DecodeUtf8(utf8, &pos);
        if (code == U'\n') {
            piece[used++] = L'\r';
            piece[used++] = L'\n';
        } else if (code >= 0x10000) {
            piece[used++] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            piece[used++] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            piece[used++] = static_cast<wchar_t>(code);
        }
    }
    return WriteConsolePiece(console, piece, used);
}

bool WriteFilePiece(HANDLE file, const char* bytes, size_t n) {
    while (n > 0) {
        DWORD written = 0;
        if (!WriteFile(file, bytes, static_cast<DWORD>(n), &written, nullptr) || written == 0)
            return false;
        bytes += written;
        n -= written;
    }
    return true;
}

// The bytes as they are, each LF written as CR LF.
bool WriteFileText(HANDLE file, std::string_view text) {
    char piece[kPiece];
    size_t used = 0;
    for (const char c : text) {
        if (used + 2 > kPiece) {
            if (!WriteFilePiece(file, piece, used))
                return false;
            used = 0;
        }
        if (c == '\n')
            piece[used++] = '\r';
        piece[used++] = c;
    }
    return WriteFilePiece(file, piece, used);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) != 0;
}

// Standard output or error (`which`) as the rest of this file describes.
bool WriteStandard(DWORD which, std::string_view utf8) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return false;
    return IsConsole(handle) ? WriteConsoleText(handle, utf8) : WriteFileText(handle, utf8);
}

}  // namespace

bool WriteToStandardOutput(std::string_view utf8) {
    return WriteStandard(STD_OUTPUT_HANDLE, utf8);
}

bool WriteToStandardError(std::string_view utf8) {
    return WriteStandard(STD_ERROR_HANDLE, utf8);
}

void WriteToStandardErrorRaw(const char* text) {
    WriteStandard(STD_ERROR_HANDLE, std::string_view(text, std::strlen(text)));
}

WakeableConsoleRead::WakeableConsoleRead(HANDLE input) {
    readInProgress.store(input);
}

WakeableConsoleRead::~WakeableConsoleRead() {
    readInProgress.store(nullptr);
}

void WakeConsoleRead() {
    HANDLE input = readInProgress.load();
    if (input == nullptr)
        return;
    INPUT_RECORD enter[2] = {};
    for (int i = 0; i < 2; ++i) {
        enter[i].EventType = KEY_EVENT;
        enter[i].Event.KeyEvent.bKeyDown = i == 0;
        enter[i].Event.KeyEvent.wRepeatCount = 1;
        enter[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
        enter[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
    }
    DWORD written = 0;
    WriteConsoleInputW(input, enter, 2, &written);
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    // The narrow argv holds the arguments in the ANSI code page, which loses
    // every character it lacks; the wide command line has them all.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    if (wide == nullptr) {
        for (int i = 1; i < argc; ++i)
            arguments.push_back(argv[i]);
        return arguments;
    }
    const LocalMemory release(wide);
    for (int i = 1; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    return arguments;
}

bool StandardInputIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

namespace {

// Reads one line from the console in `input` as it is set up now; `what`
// names the line in messages ("the password").
Status ReadConsoleLine(HANDLE input, const char* what, std::wstring* text) {
    WakeableConsoleRead wakeable(input);
    for (;;) {
        wchar_t buffer[256];
        DWORD got = 0;
        const BOOL read = ReadConsoleW(input, buffer, 256, &got, nullptr);
        const DWORD error = GetLastError();
        // Ctrl-C ends the wait, with or without a failure of the read.
        if (PendingInterrupt() != 0)
            return Status::Make(StatusCode::kInterrupted,
                                std::string("interrupted while reading ") + what);
        if (!read)
            return WindowsError("cannot read from", "the console", error);
        text->append(buffer, got);
        const size_t end = text->find(L'\n');
        // Ctrl-Z at the start of the line is the console's end of input.
        if (got == 0 || (!text->empty() && (*text)[0] == 0x1A))
            return Status::Make(StatusCode::kIoError, std::string("end of input before ") + what);
        if (end != std::wstring::npos) {
            text->resize(end > 0 && (*text)[end - 1] == L'\r' ? end - 1 : end);
            return Status::OK();
        }
    }
}

// The console the questions are shown on, even when standard output is
// redirected.
KernelHandle ConsoleOutput() {
    return KernelHandle(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
}

// Shows `prompt` on the console and reads one line, shown as typed or not.
Status ReadLine(const std::string& prompt, bool echo, const char* what, std::string* line) {
    line->clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(input, &mode))
        return Status::Make(StatusCode::kNotSupported, "no console to ask on");
    const KernelHandle output = ConsoleOutput();
    std::wstring text;
    Status status;
    {
        // Line editing stays; echo as asked. Ctrl-C stays processed, so
        // that it reaches the interrupt handling and ends the wait.
        ConsoleModeRestorer restore(input, mode);
        const DWORD lineMode = mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT;
        if (!SetConsoleMode(input, echo ? lineMode | ENABLE_ECHO_INPUT
                                        : lineMode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)))
            return WindowsError(echo ? "cannot set up" : "cannot turn echo off on", "the console",
                                GetLastError());
        // Whatever was typed before the prompt appeared was typed in the
        // open, or before there was a question: it is not taken.
        FlushConsoleInputBuffer(input);
        if (output.valid())
            WriteConsoleText(output.get(), prompt);
        status = ReadConsoleLine(input, what, &text);
    }
    // The Enter the user typed was not echoed, or the input ended without
    // one: end the prompt's line.
    if (output.valid() && (!echo || !status.ok()))
        WriteConsoleText(output.get(), "\n");
    if (status.ok())
        *line = Narrow(text);
    SecureZeroMemory(&text[0], text.size() * sizeof(wchar_t));
    return status;
}

}  // namespace

Status ReadHiddenLine(const std::string& prompt, std::string* line) {
    return ReadLine(prompt, false, "the password", line);
}

Status ReadTerminalLine(const std::string& prompt, std::string* line) {
    return ReadLine(prompt, true, "an answer", line);
}

bool WriteToTerminal(std::string_view utf8) {
    const KernelHandle output = ConsoleOutput();
    return output.valid() && WriteConsoleText(output.get(), utf8);
}

bool OwnsConsoleWindow() {
    // A console started for this program (a double-click) lists this process
    // alone; one shared with the shell it was started from lists that too.
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace platform
