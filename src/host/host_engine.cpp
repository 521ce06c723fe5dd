#include "host/host_engine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "guard_heap/guard_fault.h"
#include "guard_heap/guard_heap.h"
#include "host/check_frames.h"
#include "host/host_loops.h"
#include "modules/host_memory.h"
#include "modules/module_warning.h"
#include "modules/reply_checks.h"
#include "platform/code_place.h"
#include "platform/fault_reporting.h"
#include "platform/process_memory.h"
#include "platform/standard_output.h"

namespace {

HostState* listening = nullptr;
const char* request_bytes = nullptr;
std::size_t request_length = 0;
// A loop's request and count, read only at a fault: the loop changes them
// with no call per request.
const std::string* loop_request = nullptr;
const std::uint64_t* loop_requests = nullptr;

// Warnings past the first few are counted and dropped: their words are the
// same, and a module may earn one on every call of a long loop.
constexpr std::size_t kWarningsKept = 8;

bool hear_warning(const ModuleRecord*, const char* text) {
  if (listening == nullptr) return true;
  ++listening->warnings_heard;
  if (std::strstr(text, kForeignReplyWords) != nullptr) ++listening->foreign_replies_heard;
  if (listening->warnings.size() < kWarningsKept) listening->warnings.emplace_back(text);
  return !listening->quiet && listening->warnings_heard <= kWarningsPrintedPerFrame;
}

void write_frame_header(FrameType type, std::size_t length) {
  char header[kFrameHeaderSize] = {static_cast<char>(type)};
  for (int index = 0; index < 4; ++index) {
    header[1 + index] = static_cast<char>(static_cast<std::uint64_t>(length) >> (8 * index));
  }
  write_output_now(header, sizeof header);
}

void put_number(char* at, std::uint64_t value) {
  for (int index = 0; index < 8; ++index) at[index] = static_cast<char>(value >> (8 * index));
}

// A FaultReport frame, laid out by hand in static memory: this runs in a
// fault handler.
void write_fault_place() {
  static char payload[kFaultReportFixedBytes + 512 + sizeof(GuardFault::words)];
  static GuardFault guard;
  const FaultFacts& facts = last_fault_facts();
  bool guarded = describe_reported_fault(guard);
  // An error found in a free is named where the module's code made it.
  std::uint64_t instruction = guarded && guard.place != 0 ? guard.place : facts.instruction;
  put_number(payload, facts.code);
  put_number(payload + 8, facts.data_address);
  put_number(payload + 16, loop_requests != nullptr ? *loop_requests + 1 : 0);
  payload[24] = facts.has_data_address ? 1 : 0;
  std::size_t length = kFaultReportFixedBytes;
  static CodePlace place;
  if (instruction != 0 && find_code_place(static_cast<std::uintptr_t>(instruction), place)) {
    length += format_code_place(place, payload + length, 512);
  }
  if (guarded) {
    payload[length++] = '\0';
    for (const char* word = guard.words; *word != '\0'; ++word) payload[length++] = *word;
  }
  write_frame_header(FrameType::kFaultPlace, length);
  write_output_now(payload, length);
}

int write_request_at_fault(const char* fault, int exit_code) {
  (void)fault;
  write_fault_place();
  if (loop_request != nullptr) {
    write_frame_header(FrameType::kRequestAtFault, loop_request->size());
    write_output_now(loop_request->data(), loop_request->size());
    return exit_code;
  }
  if (request_bytes == nullptr) return exit_code;
  write_frame_header(FrameType::kRequestAtFault, request_length);
  write_output_now(request_bytes, request_length);
  return exit_code;
}

void refuse(std::string& out, Refusal refusal) {
  append_frame(out, FrameType::kRefused, refused_payload(refusal));
}

// A second bind starts afresh, as a new run would.
void bind(HostState& state, const std::string& only, bool quietly, std::string& out) {
  unload_host_modules(state);
  state.only_name = only;
  state.registry.only_name = only.empty() ? nullptr : state.only_name.c_str();
  state.quiet = quietly;
  mute_binding_lines(quietly);
  load_module_list(&state.registry, state.directory.c_str());
  mute_binding_lines(false);
  state.bound = true;
  std::vector<BoundModule> modules;
  for (const ModuleRecord* record = state.registry.head;
       record != nullptr && get_name(record) != nullptr; record = get_next(record)) {
    modules.push_back({get_name(record), get_state(record) == 1});
  }
  append_frame(out, FrameType::kBound, bound_payload(modules));
}

void answer_exchange(ModuleRecord* record, std::string_view bytes, const RequestPadding* padding,
                     std::string& out) {
  char* reply = nullptr;
  std::size_t reply_length = 0;
  set_request_in_call(bytes.data(), bytes.size());
  int called = exchange_with_module_padded(record, bytes.data(), bytes.size(), padding, &reply,
                                           &reply_length);
  set_request_in_call(nullptr, 0);
  // A reply that found no memory in the host has been named on standard
  // error already; it gets no answer but the refusal.
  if (!called || reply == nullptr) return refuse(out, Refusal::kNoBlock);
  append_frame(out, FrameType::kReply, std::string_view(reply, reply_length));
  host_release(reply);
}

// Answers a frame that orders a module about; the rest are served below.
void serve_module_order(HostState& state, const Frame& frame, std::string& out) {
  std::string name;
  std::string_view request;
  PaddedRequestOrder padded;
  FuzzOrder fuzz;
  RepeatOrder repeat;
  bool understood = false;
  switch (frame.type) {
    case FrameType::kRequest:
      understood = decode_request(frame.payload, name, request);
      break;
    case FrameType::kPaddedRequest:
      understood = decode(frame.payload, padded);
      name = padded.module;
      request = padded.request;
      break;
    case FrameType::kFuzz:
      understood = decode(frame.payload, fuzz);
      name = fuzz.module;
      break;
    default:
      understood = decode(frame.payload, repeat);
      name = repeat.module;
      break;
  }
  if (!understood) return refuse(out, Refusal::kNotARequest);
  if (state.registry.head == nullptr) return refuse(out, Refusal::kNoList);
  ModuleRecord* record = find_module(&state.registry, name.c_str());
  if (record == nullptr) return refuse(out, Refusal::kNoSuchModule);
  if (get_state(record) != 1) return refuse(out, Refusal::kNotBound);
  if (record->request_entry == nullptr) return refuse(out, Refusal::kNoRequestEntry);
  switch (frame.type) {
    case FrameType::kRequest:
      return answer_exchange(record, request, nullptr, out);
    case FrameType::kPaddedRequest: {
      RequestPadding padding{padded.fill, static_cast<std::size_t>(padded.padding)};
      return answer_exchange(record, request, padding.length != 0 ? &padding : nullptr, out);
    }
    case FrameType::kFuzz:
      return append_frame(out, FrameType::kFuzzed, encode(run_fuzz_loop(state, record, fuzz, out)));
    default:
      return append_frame(out, FrameType::kRepeated,
                          encode(run_repeat_loop(state, record, repeat)));
  }
}

}  // namespace

void start_host_state(HostState& state, const std::string& directory) {
  state.directory = directory;
  init_registry(&state.registry);
  state.bound = false;
  listening = &state;
  listen_to_module_warnings(hear_warning);
}

void end_host_state(HostState& state) {
  unload_host_modules(state);
  if (listening == &state) {
    listening = nullptr;
    listen_to_module_warnings(nullptr);
  }
}

void unload_host_modules(HostState& state) {
  if (!state.bound) return;
  const ModuleRecord* first = state.registry.head;
  if (first != nullptr && get_name(first) != nullptr) {
    state.released_name = get_name(first);
    state.released_path = get_path(first);
  }
  unload_all_modules(&state.registry);
  end_registry(&state.registry);
  init_registry(&state.registry);
  state.bound = false;
}

void report_request_at_fault() {
  set_fault_epilogue(write_request_at_fault);
}

void set_request_in_call(const char* bytes, std::size_t length) {
  request_bytes = bytes;
  request_length = length;
}

void watch_loop_request(const std::string* request, const std::uint64_t* sent) {
  loop_request = request;
  loop_requests = sent;
}

bool serve_frame(HostState& state, const Frame& frame, std::string& out) {
  state.warnings.clear();
  state.warnings_heard = 0;
  state.foreign_replies_heard = 0;
  std::string answer;
  bool goes_on = true;
  switch (frame.type) {
    case FrameType::kBind:
    case FrameType::kBindQuietly:
      bind(state, frame.payload, frame.type == FrameType::kBindQuietly, answer);
      break;
    case FrameType::kRequest:
    case FrameType::kPaddedRequest:
    case FrameType::kFuzz:
    case FrameType::kRepeat:
      serve_module_order(state, frame, answer);
      break;
    case FrameType::kMemory: {
      MemoryUse use = get_memory_use();
      append_frame(answer, FrameType::kMemoryInUse, memory_payload(use.resident, use.peak));
      break;
    }
    case FrameType::kGuard:
      guard_every(static_cast<unsigned>(std::strtoul(frame.payload.c_str(), nullptr, 10)));
      append_frame(answer, FrameType::kDone, "");
      break;
    case FrameType::kRelease:
      release_and_wait(state);
      append_frame(answer, FrameType::kDone, "");
      break;
    case FrameType::kUnload:
    case FrameType::kQuit:
      unload_host_modules(state);
      append_frame(answer, FrameType::kDone, "");
      goes_on = frame.type == FrameType::kUnload;
      break;
    default:
      refuse(answer, Refusal::kNotARequest);
      break;
  }
  for (const std::string& warning : state.warnings) append_frame(out, FrameType::kWarning, warning);
  out += answer;
  return goes_on;
}
