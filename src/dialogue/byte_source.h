// Where the readers take their input from: a stream of bytes read one at a
// time. Standard input in the program, a string in the tests and fuzzers.
#pragma once

namespace quorvast {

constexpr int END_OF_INPUT = -1;

// The answer the dialogue reads next.
enum class Awaited { name, magnitude, exit_key };

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The next byte as 0..255, or END_OF_INPUT.
  virtual int next_byte() = 0;
  // Told before each answer is read, for a front end that acts on what is
  // asked (the page's note on a decimal comma at the H prompt).
  virtual void awaiting(Awaited /*what*/) {}
};

}  // namespace quorvast
