// Standard input, output and error as the program uses them: input read in
// blocks, output collected in a fixed buffer and written in one system call
// per flush. A failed write silences the output for the rest of the run, and
// its reason is kept for the end of the run.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "dialogue/buffered_sink.h"
#include "dialogue/byte_source.h"

namespace quorvast {

// Whether a terminal's cursor was left mid-line, from what it showed last:
// standard output's bytes, or the echo of what the user typed when standard
// input is a terminal (Enter ends a line; Ctrl-D after text does not). A
// message on standard error starts on a line of its own only when it was.
class TerminalLine {
 public:
  void shown(char last_byte) { mid_line_ = last_byte != '\n'; }
  bool mid_line() const { return mid_line_; }

 private:
  bool mid_line_ = false;
};

class StandardInput final : public ByteSource {
 public:
  // What a terminal echoes of the input is noted in `line`, if given.
  explicit StandardInput(TerminalLine* line = nullptr);
  int next_byte() override;

 private:
  TerminalLine* echo_line_;  // null when standard input is no terminal
  // Enough that piped input costs one read per block, small enough to keep
  // the process tiny. A terminal hands over one line per read.
  std::array<unsigned char, 16384> block_;  // filled by each read, never zeroed
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

class StandardOutput final : public BufferedSink {
 public:
  // What is written is noted in `line`, if given. The output is flushed
  // before every read, so the order of the notes is the order on screen.
  explicit StandardOutput(TerminalLine* line = nullptr) : line_(line) {}
  // The errno of the write that failed, or 0 while every write succeeded.
  int write_error() const { return error_; }

 private:
  bool hand_over(std::string_view bytes) override;

  TerminalLine* line_;
  int error_ = 0;  // once set, nothing more is written
};

// Writes `bytes` to standard error; a failure there has nowhere to be reported.
void write_standard_error(std::string_view bytes);

// Whether standard error is a terminal, where a message shares its screen
// with standard output.
bool standard_error_is_terminal();

}  // namespace quorvast
