#include "console/console_window.h"

#ifdef _WIN32
#include <windows.h>

#include <cstring>
#include <initializer_list>
#endif

namespace quorvast {

bool keeps_window_open(unsigned long processes_on_console, bool complained) {
  return complained && processes_on_console == 1;
}

#ifdef _WIN32

namespace {

HANDLE open_console(const wchar_t* name) {
  return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

}  // namespace

void hold_console_window(bool complained) {
  DWORD ids[2];  // only whether there is more than one matters
  if (!keeps_window_open(GetConsoleProcessList(ids, 2), complained)) {
    return;
  }
  const HANDLE in = open_console(L"CONIN$");
  const HANDLE out = open_console(L"CONOUT$");
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE) {
    static constexpr char PROMPT[] = "Press Enter to close this window.\r\n";
    DWORD count = 0;
    WriteFile(out, PROMPT, sizeof PROMPT - 1, &count, nullptr);
    // Line mode: a read returns once Enter is pressed. A longer line comes
    // in pieces; the one with the line end ends the wait, as does a failed
    // read (the console gone).
    SetConsoleMode(in, ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT | ENABLE_PROCESSED_INPUT);
    char line[64];
    while (ReadFile(in, line, sizeof line, &count, nullptr) && count > 0 &&
           std::memchr(line, '\n', count) == nullptr) {
    }
  }
  for (const HANDLE handle : {in, out}) {
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
    }
  }
}

#else

void hold_console_window(bool /*complained*/) {}

#endif

}  // namespace quorvast
