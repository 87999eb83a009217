// The web page's entry: the same dialogue, reading the lines the user sends
// in the page and writing into its terminal pane (src/web/page.js and
// the modules it imports keep both). A browser cannot block in a read, so a read with nothing typed yet
// waits for the next line through Asyncify.
#include <emscripten.h>

#include <string_view>

#include "dialogue/buffered_sink.h"
#include "dialogue/byte_source.h"
#include "dialogue/console_dialogue.h"
#include "dialogue/release_identity.h"

namespace {

// The next byte the user has sent (0..255), -1 once the input has ended, or
// -2 when nothing is waiting yet.
EM_JS(int, take_typed_byte, (), { return Module.takeTypedByte(); });

// Resolves once the user sends a line or ends the input.
EM_ASYNC_JS(void, wait_for_typing, (), { await Module.typed(); });

EM_JS(void, show_output, (const char* bytes, int size),
      { Module.showOutput(HEAPU8.slice(bytes, bytes + size)); });

// The program's release, which the page checks against its own.
EM_JS(void, show_release, (const char* version), { Module.showRelease(UTF8ToString(version)); });

// What the dialogue reads next, so that the page acts on that rather than
// on the prompt's text. A page of an earlier release, which does not ask,
// is left alone.
EM_JS(void, show_awaited, (int what), {
  if (Module.showAwaited) Module.showAwaited([ "name", "magnitude", "exit key" ][what]);
});

EM_JS(void, show_end, (const char* complaint, int size, int status),
      { Module.showEnd(UTF8ToString(complaint, size), status); });

constexpr int NOTHING_YET = -2;

class TypedInput final : public quorvast::ByteSource {
 public:
  int next_byte() override {
    int byte = take_typed_byte();
    while (byte == NOTHING_YET) {
      wait_for_typing();
      byte = take_typed_byte();
    }
    return byte;
  }
  void awaiting(quorvast::Awaited what) override { show_awaited(static_cast<int>(what)); }
};

// The output crosses into the page once per flush (before each read and at
// the end), not once per fragment; the page then paints it on its next
// frame.
class PagePane final : public quorvast::BufferedSink {
  bool hand_over(std::string_view bytes) override {
    show_output(bytes.data(), static_cast<int>(bytes.size()));
    return true;
  }
};

}  // namespace

int main() {
  show_release(QUORVAST_VERSION);
  TypedInput input;
  PagePane pane;
  const quorvast::DialogueOutcome outcome = quorvast::run_console_dialogue(input, pane);
  show_end(outcome.complaint.data(), static_cast<int>(outcome.complaint.size()), outcome.exit_status);
  return outcome.exit_status;
}
