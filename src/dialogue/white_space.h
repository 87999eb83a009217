// The bytes every reader treats as blank: space, tab, newline, vertical tab,
// form feed and carriage return. Nothing else, in particular no byte >= 0x80.
#pragma once

namespace quorvast {

constexpr bool is_white_space(int byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }

}  // namespace quorvast
