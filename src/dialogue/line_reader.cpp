#include "dialogue/line_reader.h"

namespace quorvast {

void read_name_line(ConsoleInput& input, NameBuffer& name) {
  std::size_t length = 0;
  name[0] = '\0';
  if (!input.begin_read()) {
    return;
  }
  bool ended = false;
  while (length < NAME_MAX_LENGTH) {
    const int byte = input.peek();
    if (byte == END_OF_INPUT) {
      ended = true;
      break;
    }
    if (byte == '\n') {
      break;
    }
    name[length++] = static_cast<char>(input.take());
  }
  if (!ended) {
    const int byte = input.take();
    if (byte == END_OF_INPUT) {
      ended = true;  // exactly 11 bytes, then the input ended
    } else if (byte != '\n') {
      // Line too long: its 12th byte stays unread.
      input.give_back(static_cast<unsigned char>(byte));
      input.state().failed = true;
    }
  }
  if (ended) {
    input.state().end_of_input = true;
    if (length == 0) {
      input.state().failed = true;
    }
  }
  name[length] = '\0';
}

}  // namespace quorvast
