// Reads the key typed at the exit prompt: the first byte that is not white
// space. Nothing after it is consumed.
#pragma once

#include "dialogue/console_input.h"

namespace quorvast {

// Stores the byte in `key`, or leaves `key` untouched when the input ends
// first or the state was already not good.
void read_exit_key(ConsoleInput& input, char& key);

}  // namespace quorvast
