// Reads the absolute magnitude H: white space, then a decimal number with an
// optional sign, point and exponent, scanned byte by byte so that whatever
// follows the number stays unread for the exit prompt.
#pragma once

#include <cstddef>

#include "dialogue/console_input.h"

namespace quorvast {

// The scan takes at most this many bytes; what follows stays unread.
constexpr std::size_t NUMBER_MAX_LENGTH = 349;

// Stores the number in `magnitude`. Input that is no number (no digit before
// anything else) is given back whole, leaves `magnitude` untouched and fails.
void read_magnitude(ConsoleInput& input, float& magnitude);

}  // namespace quorvast
