// What the program writes to a console, written as the console's own UTF-16.
//
// The C runtime turns 8-bit text into characters by its own locale on the
// way to a console, whatever the console's code page, so a file name or a
// message of the system beyond ASCII would show garbled. While a session
// lives, standard output and error that are consoles get a stream buffer
// that takes the text as the UTF-8 it is and hands it to WriteConsoleW.
// Output that goes to a file or a pipe keeps the C runtime's text mode
// (CR LF line ends, the bytes as they are).
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "platform/os/Console.h"
#include "platform/text/Utf16.h"

namespace platform {
namespace {

// The length of the longest start of `text` that ends with a whole UTF-8
// sequence; the rest waits for the bytes that complete it.
size_t WholeSequences(const std::string& text) {
    for (size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const unsigned char c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue;  // a continuation byte: look further back
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? text.size() - back : text.size();
    }
    return text.size();
}

// Writes through at once (nothing waits in it when the process ends
// abruptly), but for an unfinished UTF-8 sequence.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}
    ~ConsoleBuffer() override {
        if (!pending_.empty())
            Write(pending_);  // what is left shows as U+FFFD
    }

  protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<size_t>(n));
        const size_t whole = WholeSequences(pending_);
        const bool written = Write(pending_.substr(0, whole));
        pending_.erase(0, whole);
        return written ? n : 0;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

  private:
    bool Write(const std::string& utf8) {
        std::wstring text;
        for (char16_t c : Utf8ToUtf16(utf8)) {
            if (c == u'\n')
                text.push_back(L'\r');  // the line end of text mode
            text.push_back(static_cast<wchar_t>(c));
        }
        for (size_t done = 0; done < text.size();) {
            DWORD written = 0;
            const DWORD n = static_cast<DWORD>(std::min<size_t>(text.size() - done, 8192));
            if (!WriteConsoleW(console_, text.data() + done, n, &written, nullptr) || written == 0)
                return false;
            done += written;
        }
        return true;
    }

    HANDLE console_;
    std::string pending_;
};

struct Redirected {
    std::ostream* stream;
    std::streambuf* previous;
    std::unique_ptr<ConsoleBuffer> buffer;
};

std::vector<Redirected>& Sessions() {
    static std::vector<Redirected> redirected;
    return redirected;
}

}  // namespace

ConsoleSession::ConsoleSession() {
    const std::pair<std::ostream*, DWORD> streams[] = {{&std::cout, STD_OUTPUT_HANDLE},
                                                       {&std::cerr, STD_ERROR_HANDLE}};
    for (const auto& [stream, which] : streams) {
        HANDLE handle = GetStdHandle(which);
        DWORD mode = 0;
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode))
            continue;
        stream->flush();
        auto buffer = std::make_unique<ConsoleBuffer>(handle);
        std::streambuf* previous = stream->rdbuf(buffer.get());
        Sessions().push_back({stream, previous, std::move(buffer)});
    }
}

ConsoleSession::~ConsoleSession() {
    for (Redirected& redirected : Sessions()) {
        redirected.stream->flush();
        redirected.stream->rdbuf(redirected.previous);
    }
    Sessions().clear();
}

}  // namespace platform
