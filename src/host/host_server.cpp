#include "host/host_server.h"

#include <cstdio>

#include "host/host_engine.h"
#include "host/host_protocol.h"
#include "platform/standard_input.h"
#include "platform/standard_output.h"
#include "run_terms/exit_code.h"

int serve_module_host(const std::string& directory) {
  // Unbuffered, so that the binding lines and a module's prints stay in
  // order with the host's warnings on standard error.
  reserve_standard_output();
  // A module that reads its standard input must not take the frames.
  reserve_standard_input();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  HostState state;
  start_host_state(state, directory);
  state.writes_frames_now = true;
  report_request_at_fault();
  FrameDecoder decoder;
  std::vector<char> chunk(64 * 1024);
  Frame frame;
  std::string out;
  for (;;) {
    while (decoder.next(frame)) {
      bool goes_on = serve_frame(state, frame, out);
      write_output_now(out.data(), out.size());
      out.clear();
      if (!goes_on) return kExitSuccess;
    }
    if (decoder.broken()) {
      // Before the modules' unload lines, which their own runtimes write.
      std::fputs("modtest: the host's input is not frames\n", stderr);
      std::fflush(stderr);
      unload_host_modules(state);
      return kExitUsage;
    }
    std::size_t got = read_standard_input(chunk.data(), chunk.size());
    if (got == 0) break;
    decoder.feed(chunk.data(), got);
  }
  // The parent went away: the modules still get their unload.
  unload_host_modules(state);
  return kExitSuccess;
}
