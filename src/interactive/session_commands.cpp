#include <chrono>
#include <cstdio>
#include <string>

#include "check/cases_file.h"
#include "interactive/interactive_run.h"
#include "interactive/session_state.h"

const char kInteractiveHelp[] =
    "A line is a request for the current module, written as a value of a cases\n"
    "file: one\\ntwo sends a line feed, quotes keep blanks, and a request that\n"
    "starts with ':' is written in quotes. The reply is printed as it is.\n"
    "  :module NAME  send the requests that follow to module NAME\n"
    "  :modules      list the modules of saori.ini and whether each is bound\n"
    "  :reload       release every module and bind them again from saori.ini\n"
    "  :unload       release every module until :reload\n"
    "  :save FILE    append every exchange so far to FILE as cases for --check\n"
    "  :repeat N     send the last request N more times; show the mean and the\n"
    "                slowest time (a round trip to the module host) and how much\n"
    "                the host's memory grew\n"
    "  :help         print this text\n"
    "  :quit         end the session, as the end of the input does\n";

namespace {

void say(const std::string& line) {
  std::fprintf(stderr, "modtest: %s\n", line.c_str());
}

void print_reply(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The module a session starts with: test.ini's, else the first that bound.
std::string first_choice(const SessionState& state) {
  if (!state.wanted.empty() && state.modules.lists(state.wanted)) return state.wanted;
  for (const BoundModule& module : state.modules.modules()) {
    if (module.bound) return module.name;
  }
  return "";
}

// Before anything is sent: false, said, when nothing can be.
bool ready_to_send(const SessionState& state) {
  if (!state.modules.bound()) {
    say("no module is bound; :reload binds them");
    return false;
  }
  if (state.current.empty()) {
    say("no module to send to: saori.ini lists none that bound; :module NAME picks one");
    return false;
  }
  return true;
}

// The rest of a request that got no reply: a refusal is named, a fault was
// reported where it happened.
void report_unanswered(const HostReply& reply, const std::string& module) {
  if (reply.kind == HostReply::kRefused) {
    say("module " + module + ": " + refusal_text(reply.refusal));
  }
}

void note_binding(SessionState& state) {
  if (state.modules.take_rebound()) state.log.note_fresh_host();
}

void show_modules(const SessionState& state) {
  if (!state.modules.bound()) return say("no module is bound; :reload binds them");
  if (state.modules.modules().empty()) return say("saori.ini lists no module");
  std::string lines;
  for (const BoundModule& module : state.modules.modules()) {
    lines += module.name + (module.bound ? ": bound" : ": not bound");
    if (module.name == state.current) lines += ", current";
    lines += "\n";
  }
  std::fputs(lines.c_str(), stdout);
  std::fflush(stdout);
}

void choose_module(SessionState& state, const std::string& name) {
  if (name.empty()) return say(":module needs the name of a module");
  if (!state.modules.bound()) return say("no module is bound; :reload binds them");
  if (!state.modules.lists(name)) return say("saori.ini lists no module named " + name);
  state.current = name;
}

void repeat_last(SessionState& state, const std::string& count_text) {
  using Clock = std::chrono::steady_clock;
  std::uint32_t count = parse_repeat_count(count_text);
  if (count == 0) {
    return say(":repeat needs a whole number from 1 to " + std::to_string(kMostRepeats) +
               ", not \"" + count_text + "\"");
  }
  if (!state.has_last) return say(":repeat has no request to send yet");
  if (!ready_to_send(state)) return;
  std::string last_reply;
  bool agreed = true;
  double total = 0;
  double slowest = 0;
  std::uint64_t start_memory = 0;
  for (std::uint32_t sent = 1; sent <= count; ++sent) {
    Clock::time_point start = Clock::now();
    HostReply reply = state.modules.request(state.last_module, state.last_request);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (reply.kind != HostReply::kReply) {
      note_binding(state);
      return report_unanswered(reply, state.last_module);
    }
    total += seconds;
    if (seconds > slowest) slowest = seconds;
    if (sent > 1 && reply.bytes != last_reply) agreed = false;
    last_reply = std::move(reply.bytes);
    // As in check mode, what a module sets up on its first request is no
    // growth.
    if (sent == 1 && !state.modules.resident_memory(start_memory)) return note_binding(state);
  }
  std::uint64_t end_memory = 0;
  if (!state.modules.resident_memory(end_memory)) return note_binding(state);
  print_reply(last_reply);
  char line[200];
  long long growth = static_cast<long long>(end_memory) - static_cast<long long>(start_memory);
  std::snprintf(line, sizeof line,
                "repeat: %lu, mean_us: %.1f, slowest_us: %.1f, "
                "memory_growth_kib: %lld\n",
                static_cast<unsigned long>(count), total / count * 1e6, slowest * 1e6,
                growth / 1024);
  std::fputs(line, stdout);
  std::fflush(stdout);
  state.log.add_exchange(state.last_module, state.last_request, last_reply, count, agreed);
}

}  // namespace

void bind_modules(SessionState& state) {
  state.modules.bind();
  if (!state.modules.lists(state.current)) state.current = first_choice(state);
}

void send_request(SessionState& state, const std::string& request) {
  if (!ready_to_send(state)) return;
  state.has_last = true;
  state.last_module = state.current;
  state.last_request = request;
  HostReply reply = state.modules.request(state.current, request);
  note_binding(state);
  if (reply.kind != HostReply::kReply) return report_unanswered(reply, state.current);
  print_reply(reply.bytes);
  state.log.add_exchange(state.current, request, reply.bytes, 1, true);
}

bool run_command(SessionState& state, const std::string& name, const std::string& argument) {
  if (name == "quit") return false;
  if (name == "module") {
    choose_module(state, argument);
  } else if (name == "modules") {
    show_modules(state);
  } else if (name == "reload") {
    state.modules.release();
    bind_modules(state);
    state.log.note_fresh_host();
  } else if (name == "unload") {
    state.modules.release();
  } else if (name == "save") {
    if (argument.empty()) return say(":save needs the name of a file"), true;
    save_exchanges(argument, state.log.exchanges());
  } else if (name == "repeat") {
    repeat_last(state, argument);
  } else if (name == "help") {
    std::fputs(kInteractiveHelp, stdout);
    std::fflush(stdout);
  } else {
    say("unknown command :" + name + "; :help lists the commands");
  }
  return true;
}
