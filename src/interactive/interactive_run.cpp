#include "interactive/interactive_run.h"

#include <cstdlib>
#include <memory>

#include "interactive/line_source.h"
#include "interactive/session_line.h"
#include "interactive/session_state.h"
#include "settings/settings_reader.h"

namespace {

// With MODTEST_TIMEOUT the child ends a slow call itself and says so; the
// parent waits a little longer for that word. Without it a call may take as
// long as it takes: about eleven days, the most a wait can be given.
constexpr double kAnswerGraceSeconds = 5;
constexpr double kNoTimeoutSeconds = 1e6;

// The child reads and reports MODTEST_TIMEOUT itself: here it is only
// looked at, so a bad value is not named twice.
double answer_timeout() {
  const char* text = std::getenv("MODTEST_TIMEOUT");
  if (text == nullptr) return kNoTimeoutSeconds;
  char* end = nullptr;
  double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(seconds > 0) || seconds > kNoTimeoutSeconds) {
    return kNoTimeoutSeconds;
  }
  return seconds + kAnswerGraceSeconds;
}

// test.ini's saori, when the file is there; its warnings go to standard
// error as in every run.
std::string module_of_settings(const std::string& directory) {
  SettingsReader reader;
  std::string path;
  std::string name;
  if (!reader.locate_settings_file(path, directory)) return name;
  SettingsStore store;
  reader.read_settings(store, directory);
  get_setting(store, name, "saori");
  return name;
}

}  // namespace

int run_interactive(const std::string& directory, bool guard) {
  SessionState state(answer_timeout());
  if (guard) state.modules.guard();
  state.wanted = module_of_settings(directory);
  bind_modules(state);
  std::unique_ptr<LineSource> source = open_line_source();
  std::string line;
  for (;;) {
    std::string prompt = (state.current.empty() ? std::string("modtest") : state.current) + "> ";
    if (!source->next_line(prompt, line)) break;
    SessionLine parsed = parse_session_line(line);
    if (parsed.kind == SessionLine::kRequest) {
      send_request(state, parsed.text);
    } else if (parsed.kind == SessionLine::kCommand &&
               !run_command(state, parsed.name, parsed.text)) {
      break;
    }
  }
  state.modules.release();
  return state.modules.fault_exit_code();
}
