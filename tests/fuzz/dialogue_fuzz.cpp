// libFuzzer target: a whole dialogue on arbitrary input. It must end, begin
// with the banner, print only bytes of its own texts, figures and the typed
// name, and end with status 0 exactly when it read a "q".
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dialogue/console_dialogue.h"
#include "memory_streams.h"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

constexpr std::string_view BANNER_START = "\n -------------------------------------------------------\n\n";
constexpr std::string_view EXIT_LINE = "type q and press enter to exit\n";

// Every byte of the fixed texts and of the figures ("Infinity", "1.23e+04").
bool is_own_byte(char byte) {
  static const std::string own = "\n ()*+,-.0123456789:;=@ABCEFHILMNQSTabcdefghiklmnopqrstuvwxyz";
  return own.find(byte) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  quorvast::StringSource source(input);
  quorvast::StringSink sink;
  const quorvast::DialogueOutcome outcome = quorvast::run_console_dialogue(source, sink);
  const std::string& output = sink.flushed;

  require(sink.pending.empty(), "output left unflushed");
  require(output.compare(0, BANNER_START.size(), BANNER_START) == 0, "output does not begin with the banner");
  const std::string_view name =
      std::string_view(input).substr(0, std::min(input.find('\n'), std::size_t{11}));
  for (const char byte : output) {
    require(is_own_byte(byte) || name.find(byte) != std::string_view::npos,
            "a byte the dialogue never writes");
  }
  std::size_t exit_lines = 0;
  for (std::size_t at = output.find(EXIT_LINE); at != std::string::npos;
       at = output.find(EXIT_LINE, at + 1)) {
    ++exit_lines;
  }
  require(exit_lines <= input.size() + 1, "more exit prompts than input bytes");
  const bool quit = outcome.exit_status == quorvast::EXIT_STATUS_QUIT;
  require(quit == outcome.complaint.empty(), "a complaint with status 0, or none with status 1");
  require(!quit || input.find('q') != std::string::npos, "status 0 without a q");
  return 0;
}
