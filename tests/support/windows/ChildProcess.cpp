#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/os/windows/UniqueHandle.h"
#include "platform/os/windows/WindowsText.h"
#include "support/ChildProcess.h"

namespace platform {
namespace {

constexpr int kStartAttempts = 4;

// One argument as the C runtime's command-line parser gives it back: in
// quotes, with each quote escaped and the backslashes before a quote (or
// before the closing quote) doubled.
std::wstring Quote(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

HANDLE OpenInheritable(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A start that Wine lost is counted where the test script reads the count
// (JC_WINE_START_RETRIES names the file, as a path of the build machine).
void CountStartRetry(const std::string& program) {
    const char* log = std::getenv("JC_WINE_START_RETRIES");
    if (log == nullptr || *log == '\0')
        return;
    const std::string path = log[0] == '/' ? std::string("Z:") + log : std::string(log);
    if (FILE* file = _wfopen(WidePath(path).c_str(), L"a")) {
        std::fprintf(file, "%s: CreateProcess said internal error; started again\n",
                     program.c_str());
        std::fclose(file);
    }
}

}  // namespace

Status RunChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& folder, const std::string& outputPath,
                       const std::string& errorPath, int* exitStatus) {
    *exitStatus = -1;
    const KernelHandle in(OpenInheritable(L"NUL", GENERIC_READ, OPEN_EXISTING));
    const KernelHandle out(OpenInheritable(WidePath(outputPath), GENERIC_WRITE, CREATE_ALWAYS));
    const KernelHandle err(OpenInheritable(WidePath(errorPath), GENERIC_WRITE, CREATE_ALWAYS));
    if (!in.valid() || !out.valid() || !err.valid())
        return WindowsError("cannot make the standard files of", program, GetLastError());
    // The program's name is taken up to the closing quote, without escapes.
    std::wstring commandLine = L"\"" + Widen(program) + L"\"";
    for (const std::string& argument : arguments)
        commandLine += L" " + Quote(Widen(argument));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in.get();
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    PROCESS_INFORMATION process = {};
    // Without a console of its own: the child is a program run with its
    // input and output redirected, never one that owns a console window.
    // Wine, under load, now and then loses a new process while it starts
    // and says "internal error"; starting it again works.
    for (int attempt = 1;; ++attempt) {
        if (CreateProcessW(WidePath(program).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                           DETACHED_PROCESS, nullptr, WidePath(folder).c_str(), &startup,
                           &process)) {
            break;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_INTERNAL_ERROR || attempt == kStartAttempts)
            return WindowsError("cannot start", program, error);
        CountStartRetry(program);
        Sleep(100 * attempt);
    }
    const KernelHandle child(process.hProcess);
    const KernelHandle thread(process.hThread);
    DWORD code = 0;
    if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(child.get(), &code)) {
        return WindowsError("cannot wait for", program, GetLastError());
    }
    *exitStatus = static_cast<int>(code);
    return Status::OK();
}

Status CurrentProgramPath(std::string* path) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return WindowsError("cannot find", "the running program", GetLastError());
        if (n < buffer.size()) {
            buffer.resize(n);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    *path = PathFromWide(buffer);
    return Status::OK();
}

}  // namespace platform
