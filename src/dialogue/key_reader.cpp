#include "dialogue/key_reader.h"

namespace quorvast {

void read_exit_key(ConsoleInput& input, char& key) {
  if (!input.begin_read() || !input.skip_white_space()) {
    return;
  }
  key = static_cast<char>(input.take());
}

}  // namespace quorvast
