// The module host run whole: frames written to a file go to `modtest
// --host` on standard input, and the frames it answers with, the lines on
// standard error and the exit code are compared exactly. Placeholders as in
// the other suites; {WHY} is the system's words for a crash, taken from the
// tool's own line.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "expected_output.h"
#include "host/check_frames.h"
#include "host/host_protocol.h"
#include "run_folder.h"

using namespace std::string_literals;

namespace {

struct HostRun {
  const char* name;
  std::vector<Frame> sent;
  std::vector<Frame> answered;
  std::string err;
  int exit_code;
  bool crashes = false;
  std::string tail = "";  // bytes sent after the frames, as they are
};

const std::string kMiB(1 << 20, '\x7f');
const std::string kModuleList =
    "echo:echo{X}\ncount:counter{X}\ntalk:trace_a{X}\ncrash:crash{X}\ninput:read_input{X}\n";
const std::string kBinding =
    bound("echo", "echo") + bound("count", "counter") +
    "dll loading.\n[trace_a load {L}:{D}]\nname:talk\npath:{D}trace_a{X}\n" +
    "dll loading.\n[crash_request load {L}:{D}]\nname:crash\npath:{D}crash{X}\n" +
    bound("input", "read_input");
const std::string kBoundList =
    "1echo\0"
    "1count\0"
    "1talk\0"
    "1crash\0"
    "1input\0"s;
const std::string kUnloaded = "[crash_request unload]\n[trace_a unload]\n";
const Frame kBind{FrameType::kBind, ""};
const Frame kBound{FrameType::kBound, kBoundList};
const Frame kQuit{FrameType::kQuit, ""};
const Frame kDone{FrameType::kDone, ""};

Frame request(const std::string& module, const std::string& bytes) {
  return {FrameType::kRequest, request_payload(module, bytes)};
}
Frame reply(const std::string& bytes) {
  return {FrameType::kReply, bytes};
}
Frame refused(Refusal refusal) {
  return {FrameType::kRefused, refused_payload(refusal)};
}

const HostRun kRuns[] = {
    {"BindRequestQuit",
     {kBind, request("echo", "hello"), request("talk", "hi"), kQuit},
     {kBound, reply("hello"), reply("hi"), kDone},
     kBinding + "[trace_a request 2]\n" + kUnloaded,
     0},
    {"AnyBytesAndALongRequest",
     {kBind, request("echo", "a\0\r\n\x1a\xff\0"s), request("echo", kMiB), request("echo", "")},
     {kBound, reply("a\0\r\n\x1a\xff\0"s), reply(kMiB), reply("")},
     kBinding + kUnloaded,
     0},
    {"RefusalsAndTheSessionGoesOn",
     {request("echo", "before bind"),
      kBind,
      request("nobody", "x"),
      {FrameType::kRequest, "echo"},
      {FrameType('z'), "?"},
      request("echo", "still here"),
      kQuit},
     {refused(Refusal::kNoList), kBound, refused(Refusal::kNoSuchModule),
      refused(Refusal::kNotARequest), refused(Refusal::kNotARequest), reply("still here"), kDone},
     kBinding + kUnloaded,
     0},
    {"StateLastsUntilUnload",
     {kBind,
      request("count", "a"),
      request("count", "b"),
      {FrameType::kUnload, ""},
      request("count", "c"),
      kBind,
      request("count", "d"),
      kQuit},
     {kBound, reply("1"), reply("2"), kDone, refused(Refusal::kNoList), kBound, reply("1"), kDone},
     kBinding + kUnloaded + kBinding + kUnloaded,
     0},
    {"CrashEndsTheHost",
     {kBind, request("echo", "one"), request("crash", "boom"), request("echo", "never")},
     // What the fault was and in which file, and the request in the
     // module's hands at the fault, for the parent.
     {kBound,
      reply("one"),
      {FrameType::kFaultPlace, "a code, in crash"},
      {FrameType::kRequestAtFault, "boom"}},
     kBinding + "[crash_request request 4]\n[crash_request about to fail]\n" +
         "modtest: module crash ({D}crash{X}) crashed in request: {WHY}\n",
     3,
     true},
    // The host reads its input a piece at a time: the long request is still
    // waiting when the module reads.
    {"ModulesFindTheInputEmpty",
     {kBind, request("input", "x"), request("echo", kMiB), kQuit},
     {kBound, reply("0"), reply(kMiB), kDone},
     kBinding + kUnloaded,
     0},
    {"BrokenInputEndsTheHost",
     {kBind},
     {kBound},
     kBinding + "modtest: the host's input is not frames\n" + kUnloaded,
     2,
     false,
     "r\0\0\0\x50"s},
};

void PrintTo(const HostRun& run, std::ostream* out) {
  *out << run.name;
}

// One line a frame, its type and its payload's length, and the payload
// itself when short, so that a difference shows where it is.
std::string listing(const std::vector<Frame>& frames) {
  std::string text;
  for (const Frame& frame : frames) {
    text += static_cast<char>(frame.type) + std::to_string(frame.payload.size()) + " ";
    text += frame.payload.size() <= 64 ? frame.payload
                                       : std::to_string(std::hash<std::string>{}(frame.payload));
    text += "\n";
  }
  return text;
}

class ModuleHostTest : public testing::TestWithParam<HostRun> {};

TEST_P(ModuleHostTest, AnswersFramesExactly) {
  const HostRun& run = GetParam();
  if (run.crashes && RunFolder::under_memory_checker()) {
    GTEST_SKIP() << "a module that ends the run is checked natively";
  }
#ifdef __SANITIZE_ADDRESS__
  if (run.crashes) GTEST_SKIP() << "the sanitizers report the crash";
#endif
  RunFolder folder;
  for (const char* probe : {"echo", "counter", "trace_a", "read_input"})
    folder.add_probe(probe, probe);
  folder.add_probe("crash_request", "crash");
  folder.write("saori.ini", expand(kModuleList, folder));
  std::string frames;
  for (const Frame& frame : run.sent) append_frame(frames, frame.type, frame.payload);
  folder.write("frames.bin", frames + run.tail);

  RunFolder::Result result = folder.run_with("--host < frames.bin");
  FrameDecoder decoder;
  decoder.feed(result.out.data(), result.out.size());
  std::vector<Frame> answered;
  for (Frame frame; decoder.next(frame);) {
    // The offset within the file differs from build to build.
    FaultReport fault;
    if (frame.type == FrameType::kFaultPlace && decode(frame.payload, fault)) {
      std::string file = fault.place.substr(0, fault.place.find('+'));
      std::string stem = file.substr(0, file.size() - RunFolder::module_suffix().size());
      frame.payload = std::string(fault.code != 0 ? "a code" : "no code") + ", in " + stem;
    }
    answered.push_back(frame);
  }
  EXPECT_EQ(listing(answered), listing(run.answered));
  EXPECT_EQ(decoder.pending(), 0u);
  std::string err = expand(run.err, folder);
  std::size_t why = err.find("{WHY}");
  if (why != std::string::npos) err.replace(why, 5, crash_words(result.err));
  EXPECT_EQ(result.err, err);
  EXPECT_EQ(result.exit_code, run.exit_code);
}

INSTANTIATE_TEST_SUITE_P(Host, ModuleHostTest, testing::ValuesIn(kRuns),
                         [](const testing::TestParamInfo<HostRun>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
