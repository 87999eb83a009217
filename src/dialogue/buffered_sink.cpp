#include "dialogue/buffered_sink.h"

#include <cstring>

namespace quorvast {

void BufferedSink::write(std::string_view bytes) {
  if (refused_) {
    return;
  }
  // The dialogue writes far less than the buffer holds between two flushes,
  // but a full buffer is handed over early rather than grown or overrun.
  while (bytes.size() > pending_.size() - size_) {
    const std::size_t piece = pending_.size() - size_;
    std::memcpy(pending_.data() + size_, bytes.data(), piece);
    size_ += piece;
    bytes.remove_prefix(piece);
    flush();
  }
  std::memcpy(pending_.data() + size_, bytes.data(), bytes.size());
  size_ += bytes.size();
}

void BufferedSink::flush() {
  if (size_ > 0 && !refused_) {
    refused_ = !hand_over({pending_.data(), size_});
  }
  size_ = 0;
}

}  // namespace quorvast
