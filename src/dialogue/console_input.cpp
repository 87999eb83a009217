#include "dialogue/console_input.h"

#include "dialogue/white_space.h"

namespace quorvast {

bool ConsoleInput::begin_read() {
  if (!state_.good()) {
    state_.failed = true;
    return false;
  }
  output_.flush();
  return true;
}

int ConsoleInput::peek() {
  if (held_count_ > 0) {
    return held_[held_count_ - 1];
  }
  const int byte = source_.next_byte();
  if (byte != END_OF_INPUT) {
    give_back(static_cast<unsigned char>(byte));
  }
  return byte;
}

int ConsoleInput::take() {
  if (held_count_ > 0) {
    return held_[--held_count_];
  }
  return source_.next_byte();
}

void ConsoleInput::give_back(unsigned char byte) {
  // Never more than three: a peeked byte and the two a number scan returns.
  // at() turns a broken promise into an exception, never a stray write.
  held_.at(held_count_++) = byte;
}

bool ConsoleInput::skip_white_space() {
  for (;;) {
    const int byte = take();
    if (byte == END_OF_INPUT) {
      state_.end_of_input = true;
      state_.failed = true;
      return false;
    }
    if (!is_white_space(byte)) {
      give_back(static_cast<unsigned char>(byte));
      return true;
    }
  }
}

}  // namespace quorvast
