#pragma once

// Between the console event handler and a read waiting at the console: not
// every console ends a read when Ctrl-C arrives (Wine's does not), so the
// handler ends it by typing Enter into the console's input on the program's
// behalf. Include after <windows.h>.

namespace platform {

// Marks a read of `input` in progress while alive.
class WakeableConsoleRead {
  public:
    explicit WakeableConsoleRead(HANDLE input);
    ~WakeableConsoleRead();
    WakeableConsoleRead(const WakeableConsoleRead&) = delete;
    WakeableConsoleRead& operator=(const WakeableConsoleRead&) = delete;
};

// Ends the read in progress, if any. Safe on any thread.
void WakeConsoleRead();

}  // namespace platform
