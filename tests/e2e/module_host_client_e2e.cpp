// The parent's side of the module host against the real tool in a folder
// of probe modules: replies, refusals, state kept between requests, and how
// the child ended when a module ends it. Natively only: under Wine the tool
// is not a program this test process can start by itself.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_output.h"
#include "host/host_client.h"
#include "run_folder.h"

using namespace std::string_literals;

namespace {

struct ClientRun {
  const char* name;
  const char* module;
  std::string request;
  double timeout_seconds;
  HostReply::Kind kind;
  std::string first;   // kReply: the first reply; kRefused: the refusal's byte
  std::string second;  // kReply: the reply to the same request sent again
  HostEnd::Kind end;   // after the requests, or after stop when they were answered
  std::uint32_t code;
  const char* end_text;
};

const ClientRun kRuns[] = {
    {"Reply", "echo", "a\0b"s, 5, HostReply::kReply, "a\0b"s, "a\0b"s, HostEnd::kExited, 0,
     "exited with code 0"},
    {"StateBetweenRequests", "count", "x", 5, HostReply::kReply, "1", "2", HostEnd::kExited, 0,
     "exited with code 0"},
    {"Refused", "nobody", "x", 5, HostReply::kRefused, "n", "n", HostEnd::kExited, 0,
     "exited with code 0"},
    {"Crash", "crash", "x", 5, HostReply::kEnded, "", "", HostEnd::kExited, 3,
     "crashed in a module call (exit code 3)"},
    {"ExitInsideACall", "exit", "x", 5, HostReply::kEnded, "", "", HostEnd::kExited, 5,
     "was ended by a module inside a call (exit code 5)"},
    {"NoAnswerInTime", "hang", "x", 1, HostReply::kEnded, "", "", HostEnd::kNoAnswer, 0,
     "did not answer within 1 s"},
};

void PrintTo(const ClientRun& run, std::ostream* out) {
  *out << run.name;
}

// What a reply came to, as the row spells it.
std::string answer_of(const HostReply& reply) {
  if (reply.kind == HostReply::kRefused) return std::string(1, static_cast<char>(reply.refusal));
  return reply.bytes;
}

class ModuleHostClientTest : public testing::TestWithParam<ClientRun> {};

TEST_P(ModuleHostClientTest, AnswersAndEnds) {
  const ClientRun& run = GetParam();
  if (RunFolder::under_wine()) GTEST_SKIP() << "the client is checked natively";
#ifdef __SANITIZE_ADDRESS__
  if (run.end == HostEnd::kExited && run.code == 3) GTEST_SKIP() << "the sanitizers report it";
#endif
  RunFolder folder;
  const std::vector<std::pair<const char*, const char*>> probes = {{"echo", "echo"},
                                                                   {"counter", "count"},
                                                                   {"crash_request", "crash"},
                                                                   {"exit_request", "exit"},
                                                                   {"hang_request", "hang"}};
  std::string list;
  std::vector<BoundModule> expected_modules;
  for (const auto& [probe, name] : probes) {
    folder.add_probe(probe, name);
    list += std::string(name) + ":" + name + "{X}\n";
    expected_modules.push_back({name, true});
  }
  folder.write("saori.ini", expand(list, folder));

  ModuleHost host;
  ASSERT_TRUE(host.start(folder.tool().string()));
  std::vector<BoundModule> modules;
  ASSERT_TRUE(host.bind(5, modules));
  EXPECT_EQ(modules, expected_modules);
  HostReply reply = host.request(run.module, run.request, run.timeout_seconds);
  EXPECT_EQ(reply.kind, run.kind);
  if (run.kind != HostReply::kEnded) {
    EXPECT_EQ(answer_of(reply), run.first);
    EXPECT_EQ(answer_of(host.request(run.module, run.request, 5)), run.second);
    std::uint64_t resident = 0;
    std::uint64_t peak = 0;
    EXPECT_TRUE(host.memory(5, resident, peak));
    EXPECT_GT(resident, 0u);
    EXPECT_GE(peak, resident);
    EXPECT_TRUE(host.unload(5));
    host.stop(5);
  }
  EXPECT_FALSE(host.running());
  EXPECT_EQ(host.end().kind, run.end);
  EXPECT_EQ(host.end().code, run.code);
  EXPECT_EQ(describe_host_end(host.end()), run.end_text);
  EXPECT_EQ(host.request("echo", "after the end", 5).kind, HostReply::kEnded);
}

INSTANTIATE_TEST_SUITE_P(Host, ModuleHostClientTest, testing::ValuesIn(kRuns),
                         [](const testing::TestParamInfo<ClientRun>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
