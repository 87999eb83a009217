// A console window of the program's own (Explorer or a shortcut started it)
// closes the moment the program exits, and would take an early end's message
// with it. Such a run asks for Enter first; every other run ends at once.
#pragma once

namespace quorvast {

// Whether to wait for Enter before exiting: only after a complaint, and only
// when this process is the only one on its console. Under a shell the shell
// is on it too; with no console at all (started with its streams redirected
// and no console, as wine does from a script) the count is 0.
bool keeps_window_open(unsigned long processes_on_console, bool complained);

// On Windows, where keeps_window_open says so: one more line on the console,
// and a wait for Enter read from the console itself, since standard input
// may already have ended. Elsewhere nothing.
void hold_console_window(bool complained);

}  // namespace quorvast
