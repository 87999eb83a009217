// The whole conversation of one run: banner, name and H prompts, the report of
// the three diameter estimates, and the wait for "q".
#pragma once

#include <string_view>

#include "dialogue/byte_sink.h"
#include "dialogue/byte_source.h"

namespace quorvast {

constexpr int EXIT_STATUS_QUIT = 0;       // the user typed "q"
constexpr int EXIT_STATUS_BAD_INPUT = 1;  // input ended or failed before "q"
// Standard output refused a write: the report is lost. The front end, which
// owns the stream, tells; the dialogue carries on as if it had been written.
constexpr int EXIT_STATUS_OUTPUT_FAILED = 2;

struct DialogueOutcome {
  int exit_status;
  // One line (without its newline) saying why the run ended early, or empty.
  std::string_view complaint;
};

// Runs the dialogue over any input and output; standard streams or memory.
// Output is flushed before every read; what remains is flushed on return.
DialogueOutcome run_console_dialogue(ByteSource& input, ByteSink& output);

}  // namespace quorvast
