// libFuzzer target: the number reader on arbitrary bytes. Besides surviving
// them, it must consume exactly a number's bytes (at most 349 after the
// blanks), give back the rest untouched, and store the value that strtod and
// a cast to float give for the same text.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dialogue/number_reader.h"
#include "dialogue/white_space.h"
#include "memory_streams.h"

namespace {

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

bool is_digit(char byte) { return byte >= '0' && byte <= '9'; }

// sign? (digits with at most one point, at least one digit) (e sign? digits)?
bool is_number_text(const std::string& text) {
  std::size_t at = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  std::size_t digits = 0;
  std::size_t points = 0;
  for (; at < text.size() && (is_digit(text[at]) || text[at] == '.'); ++at) {
    (text[at] == '.' ? points : digits) += 1;
  }
  if (digits == 0 || points > 1) {
    return false;
  }
  if (at == text.size()) {
    return true;
  }
  if (text[at] != 'e' && text[at] != 'E') {
    return false;
  }
  at += (at + 1 < text.size() && (text[at + 1] == '+' || text[at + 1] == '-')) ? 2 : 1;
  const std::size_t exponent_start = at;
  while (at < text.size() && is_digit(text[at])) {
    ++at;
  }
  return at == text.size() && at > exponent_start;
}

// The same text by another route: glibc's strtod rounds correctly, returns
// HUGE_VAL past the double range and zero or a subnormal below it.
float by_strtod(const std::string& text) {
  errno = 0;
  const double value = std::strtod(text.c_str(), nullptr);
  return static_cast<float>(value);
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  quorvast::MemoryConsole console(input);
  constexpr float UNTOUCHED = 12345.0F;
  float magnitude = UNTOUCHED;
  quorvast::read_magnitude(console.input, magnitude);
  const std::string rest = console.unread();
  require(rest.size() <= input.size(), "more bytes left than given");
  const std::size_t taken = input.size() - rest.size();
  require(input.compare(taken, std::string::npos, rest) == 0, "bytes left differ from the input's tail");

  std::size_t blanks = 0;
  while (blanks < input.size() && quorvast::is_white_space(static_cast<unsigned char>(input[blanks]))) {
    ++blanks;
  }
  require(taken >= blanks, "blanks left unread");
  require(taken - blanks <= quorvast::NUMBER_MAX_LENGTH, "more than 349 bytes taken");
  const auto& state = console.input.state();
  if (state.failed) {
    require(taken == blanks, "a failed read consumed more than blanks");
    require(same_bits(magnitude, UNTOUCHED), "a failed read stored a value");
    return 0;
  }
  const std::string text = input.substr(blanks, taken - blanks);
  require(is_number_text(text), "accepted text is not a number");
  require(same_bits(magnitude, by_strtod(text)), "value differs from strtod and a cast");
  return 0;
}
