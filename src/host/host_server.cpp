#include "host/host_server.h"

#include <cstdio>

#include "driver/exit_code.h"
#include "host/host_protocol.h"
#include "modules/host_memory.h"
#include "modules/module_registry.h"
#include "platform/process_memory.h"
#include "platform/standard_input.h"
#include "platform/standard_output.h"

namespace {

// The modules bound on the parent's word, and where saori.ini is.
struct HostState {
  const std::string& directory;
  ModuleRegistry registry;
  bool bound = false;
};

void answer(FrameType type, std::string_view payload) {
  std::string frame = encode_frame(type, payload);
  write_output_now(frame.data(), frame.size());
}

void unload(HostState& state) {
  if (!state.bound) return;
  unload_all_modules(&state.registry);
  end_registry(&state.registry);
  init_registry(&state.registry);
  state.bound = false;
}

// A second bind starts afresh, as a new run would.
void bind(HostState& state) {
  unload(state);
  load_module_list(&state.registry, state.directory.c_str());
  state.bound = true;
  std::vector<BoundModule> modules;
  for (const ModuleRecord* record = state.registry.head;
       record != nullptr && get_name(record) != nullptr; record = get_next(record)) {
    modules.push_back({get_name(record), get_state(record) == 1});
  }
  answer(FrameType::kBound, bound_payload(modules));
}

void refuse(Refusal refusal) {
  answer(FrameType::kRefused, refused_payload(refusal));
}

void request(HostState& state, const std::string& payload) {
  std::string name;
  std::string_view bytes;
  if (!decode_request(payload, name, bytes)) return refuse(Refusal::kNotARequest);
  if (state.registry.head == nullptr) return refuse(Refusal::kNoList);
  ModuleRecord* record = find_module(&state.registry, name.c_str());
  if (record == nullptr) return refuse(Refusal::kNoSuchModule);
  if (get_state(record) != 1) return refuse(Refusal::kNotBound);
  if (record->request_entry == nullptr) return refuse(Refusal::kNoRequestEntry);
  char* reply = nullptr;
  std::size_t reply_length = 0;
  // A reply that found no memory in the host has been named on standard
  // error already; it gets no answer but the refusal.
  if (!exchange_with_module(record, bytes.data(), bytes.size(), &reply, &reply_length) ||
      reply == nullptr) {
    return refuse(Refusal::kNoBlock);
  }
  answer(FrameType::kReply, std::string_view(reply, reply_length));
  host_release(reply);
}

// Answers one frame; false once the host is to end.
bool serve(HostState& state, const Frame& frame) {
  switch (frame.type) {
    case FrameType::kBind:
      bind(state);
      return true;
    case FrameType::kRequest:
      request(state, frame.payload);
      return true;
    case FrameType::kMemory: {
      MemoryUse use = get_memory_use();
      answer(FrameType::kMemoryInUse, memory_payload(use.resident, use.peak));
      return true;
    }
    case FrameType::kUnload:
      unload(state);
      answer(FrameType::kDone, "");
      return true;
    case FrameType::kQuit:
      unload(state);
      answer(FrameType::kDone, "");
      return false;
    default:
      refuse(Refusal::kNotARequest);
      return true;
  }
}

}  // namespace

int serve_module_host(const std::string& directory) {
  // Unbuffered, so that the binding lines and a module's prints stay in
  // order with the host's warnings on standard error.
  reserve_standard_output();
  // A module that reads its standard input must not take the frames.
  reserve_standard_input();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  HostState state{directory, {}, false};
  init_registry(&state.registry);
  FrameDecoder decoder;
  std::vector<char> chunk(64 * 1024);
  Frame frame;
  for (;;) {
    while (decoder.next(frame)) {
      if (!serve(state, frame)) return kExitSuccess;
    }
    if (decoder.broken()) {
      // Before the modules' unload lines, which their own runtimes write.
      std::fputs("modtest: the host's input is not frames\n", stderr);
      std::fflush(stderr);
      unload(state);
      return kExitUsage;
    }
    std::size_t got = read_standard_input(chunk.data(), chunk.size());
    if (got == 0) break;
    decoder.feed(chunk.data(), got);
  }
  // The parent went away: the modules still get their unload.
  unload(state);
  return kExitSuccess;
}
