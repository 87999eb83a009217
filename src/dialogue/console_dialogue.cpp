#include "dialogue/console_dialogue.h"

#include <cstring>

#include "dialogue/console_input.h"
#include "dialogue/figure_writer.h"
#include "dialogue/key_reader.h"
#include "dialogue/line_reader.h"
#include "dialogue/number_reader.h"
#include "dialogue/release_identity.h"
#include "model/diameter_model.h"

namespace quorvast {
namespace {

constexpr std::string_view BANNER =
    "\n -------------------------------------------------------\n\n"
    "                          Quorvast\n\n"
    "  Asteroid size estimates from its absolute magnitude H\n\n\n"
    "                     by the Quorvast authors\n\n"
    "                    contact: " QUORVAST_CONTACT
    "\n\n"
    " -------------------------------------------------------\n\n"
    " Quorvast " QUORVAST_VERSION
    " is free software; see LICENSE (MIT)."
    "\n\n\n\n";

constexpr std::string_view CLOSING_NOTES =
    "\n\n*************************************************\n\n"
    " maximum for albedo = 0.02, minimum for albedo = 0.25\n"
    " best estimate for albedo = 0.15\n\n\n";

class Report {
 public:
  explicit Report(ByteSink& output) : output_(output) {}

  Report& operator<<(std::string_view text) {
    output_.write(text);
    return *this;
  }

  void diameter(float value) { output_.write(format_diameter(value, buffer_)); }

  // Whole metres, or the unrounded float where no 32-bit integer can hold them.
  void metres(float diameter_km) {
    if (const auto whole = km_to_metres(diameter_km)) {
      output_.write(format_whole_metres(*whole, buffer_));
    } else {
      diameter(km_to_metres_value(diameter_km));
    }
  }

 private:
  ByteSink& output_;
  FigureText buffer_{};
};

void write_bounds(Report& report, std::string_view label, float magnitude, float albedo) {
  const float km = estimate_diameter_km(magnitude, albedo);
  report << " " << label << " diameter (km): ";
  report.diameter(km);
  report << "\n " << label << " diameter (miles): ";
  report.diameter(km_to_miles(km));
  report << "\n\n";
}

void write_best_estimate(Report& report, std::string_view name, float magnitude) {
  const float km = estimate_diameter_km(magnitude, ALBEDO_BEST);
  report << "\n\n***************** BEST ESTIMATE *****************\n\n";
  report << " " << name << " best diameter estimate (km): ";
  report.diameter(km);
  report << "\n " << name << " best diameter estimate (miles): ";
  report.diameter(km_to_miles(km));
  report << "\n " << name << " best diameter estimate (meter): ";
  report.metres(km);
}

DialogueOutcome give_up(std::string_view complaint) { return {EXIT_STATUS_BAD_INPUT, complaint}; }

DialogueOutcome converse(ConsoleInput& input, Report& report) {
  report << BANNER << "Type name of asteroid: ";
  NameBuffer name{};
  input.awaiting(Awaited::name);
  read_name_line(input, name);
  if (input.state().failed) {
    return give_up(input.state().end_of_input ? "input ended before the asteroid's name was typed"
                                              : "the asteroid's name is longer than 11 bytes");
  }
  report << "\nType H value of asteroid: ";
  float magnitude = 0.0F;
  input.awaiting(Awaited::magnitude);
  read_magnitude(input, magnitude);
  if (input.state().failed) {
    return give_up(input.state().end_of_input ? "input ended before a value of H was typed"
                                              : "the value of H is not a number");
  }
  report << "\n\n";
  write_bounds(report, "Maximum", magnitude, ALBEDO_MAXIMUM);
  write_bounds(report, "Minimum", magnitude, ALBEDO_MINIMUM);
  // The name is echoed up to its first NUL, which may have been typed in it.
  write_best_estimate(report, std::string_view(name.data(), std::strlen(name.data())), magnitude);
  report << CLOSING_NOTES;
  for (;;) {
    report << "type q and press enter to exit\n";
    char key = '\0';
    input.awaiting(Awaited::exit_key);
    read_exit_key(input, key);
    if (input.state().failed) {
      return give_up("input ended before \"q\" was typed");
    }
    if (key == 'q') {
      return {EXIT_STATUS_QUIT, {}};
    }
  }
}

}  // namespace

DialogueOutcome run_console_dialogue(ByteSource& input, ByteSink& output) {
  ConsoleInput console(input, output);
  Report report(output);
  const DialogueOutcome outcome = converse(console, report);
  output.flush();
  return outcome;
}

}  // namespace quorvast
