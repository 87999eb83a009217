// A ByteSink that collects what is written in a fixed buffer and hands it on
// in one piece per flush: one system call, or one crossing from WebAssembly
// into the page, for each prompt rather than for each fragment of it.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "dialogue/byte_sink.h"

namespace quorvast {

class BufferedSink : public ByteSink {
 public:
  void write(std::string_view bytes) final;
  void flush() final;

 protected:
  // Takes the bytes collected since the last hand-over, never empty. False
  // when the destination refused them: nothing more is collected or handed on.
  virtual bool hand_over(std::string_view bytes) = 0;

 private:
  // More than the dialogue writes between two reads, so a run hands over
  // once per flush; should it ever fill, it is handed over early. A fixed
  // array keeps the whole run off the heap.
  std::array<char, 4096> pending_;  // only the first `size_` bytes are meaningful
  std::size_t size_ = 0;
  bool refused_ = false;
};

}  // namespace quorvast
