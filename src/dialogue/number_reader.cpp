#include "dialogue/number_reader.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "dialogue/decimal_conversion.h"

namespace quorvast {
namespace {

enum class ScanState : std::uint8_t {
  Start,      // nothing taken yet
  Sign,       // after a leading sign
  Int,        // in integer digits
  Point,      // after a decimal point with no digit yet
  Frac,       // in fraction digits, or after a point that follows digits
  Exp,        // just after the exponent marker
  ExpSign,    // after the exponent marker and its sign
  ExpDigits,  // in exponent digits
};

enum class ByteClass : std::uint8_t { Digit, SignChar, DecimalPoint, ExponentMarker, Other };

enum class Action : std::uint8_t {
  Take,                // consume the byte and move on
  Fail,                // no number: give back everything taken
  Accept,              // the number ends before this byte
  AcceptLessMarker,    // "12e": the marker is given back, 12 is the number
  AcceptLessExponent,  // "12e-": marker and sign are given back
};

struct Transition {
  Action action;
  ScanState next;
};

constexpr std::size_t STATE_COUNT = 8;
constexpr std::size_t CLASS_COUNT = 5;

constexpr Transition take(ScanState next) { return {Action::Take, next}; }
constexpr Transition stop(Action action) { return {action, ScanState::Start}; }

// Rows follow ScanState, columns ByteClass. The last column also says how a
// scan stops when the input ends or the length limit is reached.
constexpr std::array<std::array<Transition, CLASS_COUNT>, STATE_COUNT> TRANSITIONS{{
    // Start: a sign, a point or a digit may begin a number.
    {{take(ScanState::Int), take(ScanState::Sign), take(ScanState::Point), stop(Action::Fail),
      stop(Action::Fail)}},
    // Sign: "+-5" and "+e" are no numbers.
    {{take(ScanState::Int), stop(Action::Fail), take(ScanState::Point), stop(Action::Fail),
      stop(Action::Fail)}},
    // Int: "12-3" is 12; the exponent marker only ever follows a digit.
    {{take(ScanState::Int), stop(Action::Accept), take(ScanState::Frac), take(ScanState::Exp),
      stop(Action::Accept)}},
    // Point: a lone point, ".e1" and "+." have no digit.
    {{take(ScanState::Frac), stop(Action::Fail), stop(Action::Fail), stop(Action::Fail), stop(Action::Fail)}},
    // Frac: "1.5.3" is 1.5.
    {{take(ScanState::Frac), stop(Action::Accept), stop(Action::Accept), take(ScanState::Exp),
      stop(Action::Accept)}},
    // Exp: a dangling marker is given back; no point after the marker.
    {{take(ScanState::ExpDigits), take(ScanState::ExpSign), stop(Action::AcceptLessMarker),
      stop(Action::AcceptLessMarker), stop(Action::AcceptLessMarker)}},
    // ExpSign: "12e-" without a digit gives back marker and sign.
    {{take(ScanState::ExpDigits), stop(Action::AcceptLessExponent), stop(Action::AcceptLessExponent),
      stop(Action::AcceptLessExponent), stop(Action::AcceptLessExponent)}},
    // ExpDigits: "1e5e" is 1e5.
    {{take(ScanState::ExpDigits), stop(Action::Accept), stop(Action::Accept), stop(Action::Accept),
      stop(Action::Accept)}},
}};

ByteClass classify(int byte) {
  if (byte >= '0' && byte <= '9') {
    return ByteClass::Digit;
  }
  switch (byte) {
    case '+':
    case '-':
      return ByteClass::SignChar;
    case '.':
      return ByteClass::DecimalPoint;
    case 'e':
    case 'E':
      return ByteClass::ExponentMarker;
    default:
      return ByteClass::Other;  // also END_OF_INPUT
  }
}

const Transition& transition(ScanState state, ByteClass byte_class) {
  return TRANSITIONS[static_cast<std::size_t>(state)][static_cast<std::size_t>(byte_class)];
}

// How many of the taken bytes a stop returns to the input.
std::size_t bytes_given_back(Action action, std::size_t taken) {
  switch (action) {
    case Action::Fail:
      return taken;  // at most two: "+." is the longest failing prefix
    case Action::AcceptLessMarker:
      return 1;
    case Action::AcceptLessExponent:
      return 2;
    default:
      return 0;
  }
}

}  // namespace

void read_magnitude(ConsoleInput& input, float& magnitude) {
  if (!input.begin_read() || !input.skip_white_space()) {
    return;
  }
  std::array<char, NUMBER_MAX_LENGTH> text{};
  std::size_t taken = 0;
  ScanState state = ScanState::Start;
  Action outcome = Action::Fail;
  for (;;) {
    if (taken == NUMBER_MAX_LENGTH) {
      outcome = transition(state, ByteClass::Other).action;
      break;
    }
    const int byte = input.peek();
    if (byte == END_OF_INPUT) {
      input.state().end_of_input = true;
      outcome = transition(state, ByteClass::Other).action;
      break;
    }
    const Transition& step = transition(state, classify(byte));
    if (step.action != Action::Take) {
      outcome = step.action;
      break;
    }
    text[taken++] = static_cast<char>(input.take());
    state = step.next;
  }
  // Given back in reverse, so the first byte returned is read first.
  for (std::size_t count = bytes_given_back(outcome, taken); count > 0; --count) {
    input.give_back(static_cast<unsigned char>(text[--taken]));
  }
  if (outcome == Action::Fail) {
    input.state().failed = true;
    return;
  }
  magnitude = decimal_to_magnitude(std::string_view(text.data(), taken));
}

}  // namespace quorvast
