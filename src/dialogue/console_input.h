// Standard input as the readers see it: a byte source with room to give back
// the two bytes a number scan may have to return, the shared input state, and
// the output to flush so a prompt is visible before the program waits.
#pragma once

#include <array>
#include <cstddef>

#include "dialogue/byte_sink.h"
#include "dialogue/byte_source.h"
#include "dialogue/input_state.h"

namespace quorvast {

class ConsoleInput {
 public:
  ConsoleInput(ByteSource& source, ByteSink& output) : source_(source), output_(output) {}

  InputState& state() { return state_; }
  const InputState& state() const { return state_; }

  // Passes on to the source what the dialogue reads next.
  void awaiting(Awaited what) { source_.awaiting(what); }

  // The steps every reader starts with. False when the state was already not
  // good: the failed flag is added and nothing is read or flushed.
  bool begin_read();

  // The next byte without consuming it, or END_OF_INPUT.
  int peek();
  // Consumes and returns the next byte, or END_OF_INPUT.
  int take();
  // Puts a taken byte back so that it is read next. The number scan gives
  // back at most two bytes and never gives back after a peek at end of input.
  void give_back(unsigned char byte);

  // Skips white space. False, with end of input and failed added, when the
  // input ends first.
  bool skip_white_space();

 private:
  ByteSource& source_;
  ByteSink& output_;
  InputState state_;
  // Bytes given back or peeked, the next one to read last. One peeked byte
  // plus two given back is the most ever held.
  std::array<unsigned char, 3> held_{};
  std::size_t held_count_ = 0;
};

}  // namespace quorvast
