// Reads the asteroid's name: one line of at most 11 bytes, taken as typed
// (leading blanks included) into a 12-byte buffer ending in a NUL.
#pragma once

#include <array>
#include <cstddef>

#include "dialogue/console_input.h"

namespace quorvast {

constexpr std::size_t NAME_MAX_LENGTH = 11;
using NameBuffer = std::array<char, NAME_MAX_LENGTH + 1>;

// A line of 12 or more bytes keeps its first 11, leaves the rest of the line
// unread and fails; end of input before any byte gives an empty name and fails.
void read_name_line(ConsoleInput& input, NameBuffer& name);

}  // namespace quorvast
