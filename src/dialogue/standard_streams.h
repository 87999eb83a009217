// Standard input and output as a byte source and sink: input read in blocks,
// output collected and written in one system call per flush. A failed write
// silences the output for the rest of the run; it is never reported.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "dialogue/byte_sink.h"
#include "dialogue/byte_source.h"

namespace quorvast {

class StandardInput final : public ByteSource {
 public:
  int next_byte() override;

 private:
  // Enough that piped input costs one read per block, small enough to keep
  // the process tiny. A terminal hands over one line per read.
  std::array<unsigned char, 16384> block_;  // filled by each read, never zeroed
  std::size_t next_ = 0;
  std::size_t end_ = 0;
};

class StandardOutput final : public ByteSink {
 public:
  StandardOutput();
  void write(std::string_view bytes) override;
  void flush() override;

 private:
  std::string pending_;
  bool broken_ = false;  // once set, nothing more is collected or written
};

// Writes "quorvast: <message>\n" to standard error in one piece.
void complain(std::string_view message);

}  // namespace quorvast
