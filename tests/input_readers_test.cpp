// The three readers against their grammar: what each stores, what it leaves
// unread for the next reader, and which input flags it adds.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "console/console_window.h"
#include "console/standard_streams.h"
#include "dialogue/key_reader.h"
#include "dialogue/line_reader.h"
#include "dialogue/number_reader.h"
#include "memory_streams.h"

namespace quorvast {
namespace {

constexpr float UNTOUCHED = 12345.0F;
constexpr float INF = std::numeric_limits<float>::infinity();

enum Flags { NONE = 0, ENDED = 1, FAILED = 2, BOTH = 3 };

Flags flags_of(const InputState& state) {
  return static_cast<Flags>((state.end_of_input ? ENDED : NONE) | (state.failed ? FAILED : NONE));
}

struct NumberCase {
  std::string input;
  float stored;
  std::string left;
  Flags flags;
};

const std::string ZEROS_349(349, '0');
const std::string DIGITS_348(348, '7');

const NumberCase NUMBERS[] = {
    {"5.\n", 5.0F, "\n", NONE},
    {".5\n", 0.5F, "\n", NONE},
    {"-.5\n", -0.5F, "\n", NONE},
    {"+7\n", 7.0F, "\n", NONE},
    {"007\n", 7.0F, "\n", NONE},
    {"1e5\n", 100000.0F, "\n", NONE},
    {"1.e5\n", 100000.0F, "\n", NONE},
    {"1E+3\n", 1000.0F, "\n", NONE},
    {"1e-5\n", 0.00001F, "\n", NONE},
    {"12e\n", 12.0F, "e\n", NONE},
    {"12e-\n", 12.0F, "e-\n", NONE},
    {"12E+x", 12.0F, "E+x", NONE},
    {"1e5e\n", 100000.0F, "e\n", NONE},
    {"1e5.3\n", 100000.0F, ".3\n", NONE},
    {"2e12e3\n", 2e12F, "e3\n", NONE},
    {"2e12.5\n", 2e12F, ".5\n", NONE},
    {"2e12-1\n", 2e12F, "-1\n", NONE},
    {"1.5.3\n", 1.5F, ".3\n", NONE},
    {"12-3\n", 12.0F, "-3\n", NONE},
    {"0x1A\n", 0.0F, "x1A\n", NONE},
    {"1,5\n", 1.0F, ",5\n", NONE},
    {"10abc\n", 10.0F, "abc\n", NONE},
    {"\n\n \t\v\f\r 12 q", 12.0F, " q", NONE},
    // Beyond the float or double range: signed infinity, signed zero.
    {"1e39\n", INF, "\n", NONE},
    {"-1e39\n", -INF, "\n", NONE},
    {"1e+400\n", INF, "\n", NONE},
    {"-1e400\n", -INF, "\n", NONE},
    {"0.0001e312\n", INF, "\n", NONE},
    {"0.001e400\n", INF, "\n", NONE},
    {"-00.00001e-330\n", -0.0F, "\n", NONE},
    {"1e99999999999999999999\n", INF, "\n", NONE},
    {"1e-50\n", 0.0F, "\n", NONE},
    {"1000e-327\n", 0.0F, "\n", NONE},
    {"0e999999\n", 0.0F, "\n", NONE},
    {"1e-45\n", 1e-45F, "\n", NONE},  // the smallest subnormal float
    // Far beyond the double range although the exponent, if any, is negative.
    {"1" + std::string(340, '0') + ".5\n", INF, "\n", NONE},
    {"1" + std::string(340, '0') + "e-30\n", INF, "\n", NONE},
    {"1" + std::string(340, '0') + "e-0031\n", INF, "\n", NONE},
    // Exponents of 20 digits or more, read for their value.
    {"1e-99999999999999999999\n", 0.0F, "\n", NONE},
    {"2e000000000000000000001\n", 20.0F, "\n", NONE},
    // Leading zeros are no significant digits, however many come before the
    // exponent takes the value out of the double range.
    {std::string(330, '0') + "1e-325\n", 0.0F, "\n", NONE},
    {std::string(330, '0') + ".1e-324\n", 0.0F, "\n", NONE},
    {std::string(330, '0') + "1e309\n", INF, "\n", NONE},
    {"0." + std::string(330, '0') + "1e-1\n", 0.0F, "\n", NONE},
    {"0." + std::string(300, '0') + "1e610\n", INF, "\n", NONE},
    // Only the first non-zero digit places the value: a late one far down a
    // long fraction changes neither an overflow (about 1e319) nor an
    // underflow (about 1e-325).
    {"0.1" + std::string(339, '0') + "1e320\n", INF, "\n", NONE},
    {"0.1" + std::string(339, '0') + "1e-324\n", 0.0F, "\n", NONE},
    {"-0", -0.0F, "", ENDED},  // zeros keep their sign
    {"-1e-50\n", -0.0F, "\n", NONE},
    {"-0.0e7\n", -0.0F, "\n", NONE},
    // Rounded to double first, then to float: the double is a float midpoint
    // and goes to the even neighbour, -10 exactly.
    {"-10.0000004768371582031250000001\n", -10.0F, "\n", NONE},
    // No number: everything taken is given back.
    {"+\n", UNTOUCHED, "+\n", FAILED},
    {".\n", UNTOUCHED, ".\n", FAILED},
    {"+-5\n", UNTOUCHED, "+-5\n", FAILED},
    {"-.x\n", UNTOUCHED, "-.x\n", FAILED},
    {".e1\n", UNTOUCHED, ".e1\n", FAILED},
    {"e5\n", UNTOUCHED, "e5\n", FAILED},
    {"inf\n", UNTOUCHED, "inf\n", FAILED},
    {"nan\n", UNTOUCHED, "nan\n", FAILED},
    // The end of input stops the scan as any other byte would.
    {"42", 42.0F, "", ENDED},
    {"12e", 12.0F, "e", ENDED},
    {"12e-", 12.0F, "e-", ENDED},
    {"-.", UNTOUCHED, "-.", BOTH},
    {"", UNTOUCHED, "", BOTH},
    {" \n\t", UNTOUCHED, "", BOTH},
    // At most 349 bytes are taken; the scan then stops where it is.
    {ZEROS_349 + "12\n", 0.0F, "12\n", NONE},
    {DIGITS_348 + "e5\n", INF, "e5\n", NONE},
    {"0." + std::string(346, '0') + "e-5\n", 0.0F, "e-5\n", NONE},
    {std::string(347, '0') + "1", 1.0F, "", ENDED},
    {ZEROS_349, 0.0F, "", NONE},
};

TEST(NumberReader, FollowsTheGrammar) {
  for (const auto& c : NUMBERS) {
    MemoryConsole console(c.input);
    float magnitude = UNTOUCHED;
    read_magnitude(console.input, magnitude);
    EXPECT_EQ(flags_of(console.input.state()), c.flags) << c.input;
    EXPECT_EQ(magnitude, c.stored) << c.input;
    EXPECT_EQ(std::signbit(magnitude), std::signbit(c.stored)) << c.input;
    EXPECT_EQ(console.unread(), c.left) << c.input;
  }
}

struct LineCase {
  std::string input;
  std::string name;
  std::string left;
  Flags flags;
};

const LineCase LINES[] = {
    {"Vesta\n10\n", "Vesta", "10\n", NONE},
    {"\n10\n", "", "10\n", NONE},
    {"  Ida \t\n", "  Ida \t", "", NONE},
    {"Hygiea12345\nx", "Hygiea12345", "x", NONE},
    {"Hygiea123456\n", "Hygiea12345", "6\n", FAILED},
    {"Hygiea1234567890\n", "Hygiea12345", "67890\n", FAILED},
    {"Ceres", "Ceres", "", ENDED},
    {"Hygiea12345", "Hygiea12345", "", ENDED},
    {"", "", "", BOTH},
    {"a\rb\n", "a\rb", "", NONE},
    {std::string("a\0b\n", 4), std::string("a\0b", 3), "", NONE},
};

TEST(LineReader, ReadsOneNameLine) {
  for (const auto& c : LINES) {
    MemoryConsole console(c.input);
    NameBuffer name;
    name.fill('#');
    read_name_line(console.input, name);
    EXPECT_EQ(flags_of(console.input.state()), c.flags) << c.input;
    EXPECT_EQ(std::string(name.data(), c.name.size() + 1), c.name + '\0') << c.input;
    EXPECT_EQ(console.unread(), c.left) << c.input;
  }
}

struct KeyCase {
  std::string input;
  char key;
  std::string left;
  Flags flags;
};

const KeyCase KEYS[] = {
    {"q\n", 'q', "\n", NONE},   {"\n\n  \tQuit\n", 'Q', "uit\n", NONE},
    {"\xff", '\xff', "", NONE}, {"\n \n", '#', "", BOTH},
    {"", '#', "", BOTH},
};

TEST(KeyReader, TakesTheFirstNonBlankByte) {
  for (const auto& c : KEYS) {
    MemoryConsole console(c.input);
    char key = '#';
    read_exit_key(console.input, key);
    EXPECT_EQ(flags_of(console.input.state()), c.flags) << c.input;
    EXPECT_EQ(key, c.key) << c.input;
    EXPECT_EQ(console.unread(), c.left) << c.input;
  }
}

TEST(Readers, FlushPendingOutputBeforeReading) {
  StringSource source("Vesta\n10 q");
  StringSink sink;
  ConsoleInput input(source, sink);
  NameBuffer name;
  float magnitude = 0.0F;
  char key = '\0';
  sink.write("name? ");
  read_name_line(input, name);
  EXPECT_EQ(sink.flushed, "name? ");
  sink.write("H? ");
  read_magnitude(input, magnitude);
  EXPECT_EQ(sink.flushed, "name? H? ");
  sink.write("q? ");
  read_exit_key(input, key);
  EXPECT_EQ(sink.flushed, "name? H? q? ");
  EXPECT_EQ(key, 'q');
}

TEST(Readers, ReturnAtOnceOnceTheStateIsNotGood) {
  // Ended input, and failed input that has not ended ("x" is no number).
  for (const std::string text : {"", "x\n"}) {
    StringSource source(text);
    StringSink sink;
    ConsoleInput input(source, sink);
    float magnitude = UNTOUCHED;
    read_magnitude(input, magnitude);
    const std::size_t reads = source.reads;
    const std::size_t flushes = sink.flushes;
    NameBuffer name;
    name.fill('#');
    char key = '#';
    read_name_line(input, name);
    read_magnitude(input, magnitude);
    read_exit_key(input, key);
    EXPECT_EQ(source.reads, reads) << text;
    EXPECT_EQ(sink.flushes, flushes) << text;
    EXPECT_EQ(name[0], '\0') << text;
    EXPECT_EQ(magnitude, UNTOUCHED) << text;
    EXPECT_EQ(key, '#') << text;
    EXPECT_TRUE(input.state().failed) << text;
  }
}

// A run writes far less than the output buffer holds between two flushes;
// should it write more, every byte still reaches standard output, in order.
TEST(StandardOutput, PassesOnMoreThanItsBufferHolds) {
  std::FILE* file = std::tmpfile();
  const int saved = dup(STDOUT_FILENO);
  dup2(fileno(file), STDOUT_FILENO);
  std::string written;
  TerminalLine line;
  StandardOutput output(&line);
  for (int count = 0; written.size() < 10000; ++count) {
    const std::string piece = std::to_string(count) + ",";
    output.write(piece);
    written += piece;
  }
  output.flush();
  dup2(saved, STDOUT_FILENO);
  close(saved);
  std::string read_back(written.size() + 1, '\0');
  std::rewind(file);
  read_back.resize(std::fread(read_back.data(), 1, read_back.size(), file));
  std::fclose(file);
  EXPECT_EQ(read_back, written);
  EXPECT_TRUE(line.mid_line());  // the last byte was a comma
}

// A window of its own (the only process on its console) waits for Enter
// after a complaint; under a shell (2 or more) or with no console (0) the run
// ends as it always did, and the exit with "q" never waits.
TEST(ConsoleWindow, KeptOpenOnlyForAComplaintInAWindowOfItsOwn) {
  const struct {
    unsigned long processes;
    bool complained, waits;
  } cases[] = {{1, true, true}, {1, false, false}, {0, true, false}, {2, true, false}, {3, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(keeps_window_open(c.processes, c.complained), c.waits) << c.processes << " " << c.complained;
  }
}

}  // namespace
}  // namespace quorvast
