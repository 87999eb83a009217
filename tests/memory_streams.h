// In-memory byte source and sink for driving the readers and the dialogue
// without a terminal: the source counts its reads, the sink its flushes.
// MemoryConsole wires both to a ConsoleInput, as standard input would be.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "dialogue/byte_sink.h"
#include "dialogue/byte_source.h"
#include "dialogue/console_input.h"

namespace quorvast {

class StringSource final : public ByteSource {
 public:
  explicit StringSource(std::string_view bytes) : bytes_(bytes) {}
  int next_byte() override {
    ++reads;
    return next_ < bytes_.size() ? static_cast<unsigned char>(bytes_[next_++]) : END_OF_INPUT;
  }
  std::string_view unread() const { return bytes_.substr(next_); }
  std::size_t reads = 0;

 private:
  std::string_view bytes_;
  std::size_t next_ = 0;
};

class StringSink final : public ByteSink {
 public:
  void write(std::string_view bytes) override { pending.append(bytes); }
  void flush() override {
    ++flushes;
    flushed.append(pending);
    pending.clear();
  }
  std::string pending;
  std::string flushed;
  std::size_t flushes = 0;
};

struct MemoryConsole {
  explicit MemoryConsole(std::string_view bytes) : source(bytes) {}
  StringSource source;
  StringSink sink;
  ConsoleInput input{source, sink};

  // Everything the next reader would see: bytes given back, then the rest.
  std::string unread() {
    std::string rest;
    for (int byte = input.take(); byte != END_OF_INPUT; byte = input.take()) {
      rest.push_back(static_cast<char>(byte));
    }
    return rest;
  }
};

}  // namespace quorvast
