// Where the dialogue writes its output: bytes collected until a flush. Standard
// output in the program, a string in the tests and fuzzers.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvast {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(std::string_view bytes) = 0;
  // Makes everything written so far visible, e.g. a prompt before a read.
  virtual void flush() = 0;
};

}  // namespace quorvast
