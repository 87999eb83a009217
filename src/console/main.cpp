// The console program's entry: the dialogue on the standard streams, one
// line on standard error when the run ends early and one when standard
// output could not be written (in a console window of its own, held open
// until Enter), and the exit status.
#include <array>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "console/console_window.h"
#include "console/standard_streams.h"
#include "dialogue/console_dialogue.h"

namespace {

// "quorvast: <complaint>\n" in one write. On a terminal it begins on a line
// of its own when the cursor was left mid-line: after a prompt at the end of
// the input, or after text typed without Enter.
void complain(std::string_view complaint, bool mid_line, std::string_view reason = {}) {
  std::array<char, 128> line{};  // every complaint is well under a line
  std::size_t size = 0;
  const auto append = [&](std::string_view text) {
    size += text.copy(line.data() + size, line.size() - size);
  };
  if (mid_line && quorvast::standard_error_is_terminal()) {
    append("\n");
  }
  append("quorvast: ");
  append(complaint);
  append(reason);
  append("\n");
  quorvast::write_standard_error({line.data(), size});
}

}  // namespace

int main() {
#ifdef SIGPIPE
  // A reader that goes away early must not kill the run: the write fails
  // with EPIPE instead, and the output falls silent.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  quorvast::TerminalLine line;
  quorvast::StandardInput input(&line);
  quorvast::StandardOutput output(&line);
  const quorvast::DialogueOutcome outcome = quorvast::run_console_dialogue(input, output);
  const bool complained = !outcome.complaint.empty();
  if (complained) {
    complain(outcome.complaint, line.mid_line());
  }
  // A reader that has gone (EPIPE) chose to read no more: that is no failed
  // report, so the run stays quiet and keeps its status. Any other refusal
  // (a full disk, a closed stream) lost the report, which a script must see.
  const int error = output.write_error();
  const bool report_lost = error != 0 && error != EPIPE;
  if (report_lost) {
    complain("standard output: ", line.mid_line() && !complained, std::strerror(error));
  }
  quorvast::hold_console_window(complained || report_lost);
  return report_lost ? quorvast::EXIT_STATUS_OUTPUT_FAILED : outcome.exit_status;
}
