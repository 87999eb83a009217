// Where the readers take their input from: a stream of bytes read one at a
// time. Standard input in the program, a string in the tests and fuzzers.
#pragma once

namespace quorvast {

constexpr int END_OF_INPUT = -1;

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The next byte as 0..255, or END_OF_INPUT.
  virtual int next_byte() = 0;
};

}  // namespace quorvast
