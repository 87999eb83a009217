// The flags the three readers share for the life of the process. Flags are
// only ever added: once the state is not good, every later read returns at once.
#pragma once

namespace quorvast {

struct InputState {
  bool end_of_input = false;
  bool failed = false;

  bool good() const { return !end_of_input && !failed; }
};

}  // namespace quorvast
