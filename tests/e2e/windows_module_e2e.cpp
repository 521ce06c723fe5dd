// Whole runs for what modules do on Windows only: the faults as Windows
// names them, entries built stdcall, libraries that do not load for a
// Windows reason, and module paths written with either slash. Each case
// gives the exact standard output, standard error and exit code; placeholders
// as in expected_output.h, plus {L+n} for the folder's length plus n and, in
// standard error, {*} for the system's own words, which differ between
// Windows versions. Cases that mean nothing natively skip there.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "expected_output.h"
#include "platform/pe_image.h"
#include "run_folder.h"

namespace fs = std::filesystem;

namespace {

enum class Needs {
  kAny,           // runs natively too
  kWindows,       // any Windows build
  kWindows32,     // the 32-bit Windows build, which has a stdcall convention
  kOther32For64,  // the 64-bit build, given the 32-bit probes
  kOther64For32,  // the 32-bit build, given the 64-bit probes
};

struct WindowsCase {
  const char* name;
  Needs needs;
  std::string saori_ini;
  // probe, destination without suffix; a probe named "other:p" comes from
  // the build of the other bitness.
  std::vector<std::pair<std::string, std::string>> probes;
  std::string environment;
  std::string out;
  std::string err;
  int exit_code;
};

const std::string kReport = "saori:\tx\nstring:\thi\n\n";

// The run up to the request, for a probe bound as x from x{X}.
std::string up_to_request(const std::string& trace) {
  return kReport + "dll loading.\n" + trace + "name:x\npath:{D}x{X}\n// request_data//\nhi\n";
}

std::string module_x(const std::string& what) {
  return "modtest: module x ({D}x{X}) " + what + "\n";
}

// The reason on standard error, then why the request went unanswered.
std::string not_loaded(const std::string& why) {
  return module_x("did not load: " + why) +
         "modtest: module \"x\" is listed, but its library did not load, so the request went to "
         "no module and the reply shown is the request itself\n";
}

const std::string kNg = kReport + "NG\n{D}x{X}{F}\nname:x\npath:{D}x{X}\n" + exchange("hi", "hi");

const WindowsCase kCases[] = {
    {"ExitProcessInRequest",
     Needs::kWindows,
     "x:x{X}\n",
     {{"exit_process_request", "x"}},
     "",
     up_to_request("") + "[exit_process_request about to fail]\n",
     module_x("ended the process in request"),
     5},
    {"FailFastInRequestIsReportedFromOutside",
     Needs::kWindows,
     "x:x{X}\n",
     {{"fail_fast_request", "x"}},
     "",
     up_to_request("") + "[fail_fast_request about to fail]\n",
     module_x("ended the run in request without a report: exit status 0xC0000409, a fail-fast "
              "(the module's own check found its stack or heap corrupted)"),
     3},
    {"StdcallEntriesRunAsCdeclOnes",
     Needs::kWindows32,
     "x:x{X}\n",
     {{"stdcall", "x"}},
     "",
     up_to_request("[stdcall load {L}:{D}]\n") +
         "[stdcall request 2]\n// return data //\nhi\n[stdcall unload]\n",
     module_x("took 8 bytes of arguments off the stack itself in load: the entry is stdcall, not "
              "cdecl (the stack was put right); declare it with MODTEST_CALL") +
         module_x("took 8 bytes of arguments off the stack itself in request: the entry is "
                  "stdcall, not cdecl (the stack was put right); declare it with MODTEST_CALL"),
     0},
    {"DecoratedExportsAreNamed",
     Needs::kWindows,
     "x:x{X}\n",
     {{"decorated", "x"}},
     "",
     kReport + "load is not export!\n{D}x{X}{F}\nname:x\npath:{D}x{X}\n" +
         "// request_data//\nhi\nrequest is not export!\n// return data //\nhi\n",
     module_x("exports unload only as \"unload@0\", the stdcall name: declare it with "
              "MODTEST_CALL (cdecl) and export it undecorated") +
         module_x("exports request only as \"request@8\", the stdcall name: declare it with "
                  "MODTEST_CALL (cdecl) and export it undecorated") +
         module_x("exports load only as \"load@8\", the stdcall name: declare it with "
                  "MODTEST_CALL (cdecl) and export it undecorated"),
     0},

    {"ModuleOf32BitsFor64BitModtest",
     Needs::kOther32For64,
     "x:x{X}\n",
     {{"other:echo", "x"}},
     "",
     kNg,
     not_loaded("it is a 32-bit module and this modtest is 64-bit: use the win32 package, "
                "modtest-" MODTEST_VERSION "-win32.zip (system error 193: {*})"),
     0},
    {"ModuleOf64BitsFor32BitModtest",
     Needs::kOther64For32,
     "x:x{X}\n",
     {{"other:echo", "x"}},
     "",
     kNg,
     not_loaded("it is a 64-bit module and this modtest is 32-bit: use the win64 package, "
                "modtest-" MODTEST_VERSION "-win64.zip (system error 193: {*})"),
     0},
    {"MissingDependencyIsNamed",
     Needs::kWindows,
     "x:x{X}\n",
     {{"needs_beside", "x"}},
     "",
     kNg,
     not_loaded("it needs beside.dll, which was not found (system error 126: {*})"),
     0},
    {"MissingFile",
     Needs::kWindows,
     "x:x{X}\n",
     {},
     "",
     kNg,
     not_loaded("the file is not there (system error 126: {*})"),
     0},
    {"FileThatIsNoLibrary",
     Needs::kWindows,
     "x:x{X}\n",
     {{"", "x"}},
     "",
     kNg,
     not_loaded("the file is not a library: it does not start with a Windows program header "
                "(system error 193: {*})"),
     0},

    {"DependencyBesideModuleInSubfolder",
     Needs::kWindows,
     "x:sub\\x{X}\n",
     {{"needs_beside", "sub/x"}, {"beside", "sub/beside"}},
     "",
     kReport + "dll loading.\n[needs_beside load {L+4}:{D}sub\\]\nname:x\npath:{D}sub\\x{X}\n" +
         "// request_data//\nhi\n[needs_beside request 2]\n// return data //\nhi\n"
         "[needs_beside unload]\n",
     "",
     0},
    {"ForwardSlashEndsTheModuleFolder",
     Needs::kAny,
     "x:data/x{X}\n",
     {{"trace_a", "data/x"}},
     "",
     kReport + "dll loading.\n[trace_a load {L+5}:{D}data/]\nname:x\npath:{D}data/x{X}\n" +
         "// request_data//\nhi\n[trace_a request 2]\n// return data //\nhi\n[trace_a unload]\n",
     "",
     0},
    {"BackslashEndsTheModuleFolder",
     Needs::kWindows,
     "x:data\\x{X}\n",
     {{"trace_a", "data/x"}},
     "",
     kReport + "dll loading.\n[trace_a load {L+5}:{D}data\\]\nname:x\npath:{D}data\\x{X}\n" +
         "// request_data//\nhi\n[trace_a request 2]\n// return data //\nhi\n[trace_a unload]\n",
     "",
     0},
};

void PrintTo(const WindowsCase& run_case, std::ostream* out) {
  *out << run_case.name;
}

std::uint16_t tool_machine(const RunFolder& folder) {
  for (const auto& entry : fs::directory_iterator(folder.path())) {
    if (entry.path().extension() != ".exe") continue;
    PeImage image;
    if (read_pe_image(read_file(entry.path()), image)) return image.machine;
  }
  return 0;
}

// Why the case cannot run here; empty when it can.
std::string reason_to_skip(Needs needs, const RunFolder& folder) {
  if (needs == Needs::kAny) return "";
  if (!RunFolder::under_wine()) return "a Windows behaviour";
  std::uint16_t machine = tool_machine(folder);
  bool other_given = RunFolder::has_other_probes();
  switch (needs) {
    case Needs::kWindows32:
      return machine == kPeMachineX86 ? "" : "only 32-bit Windows code has stdcall entries";
    case Needs::kOther32For64:
      return machine == kPeMachineX64 && other_given ? ""
                                                     : "needs the 64-bit tool and 32-bit probes";
    case Needs::kOther64For32:
      return machine == kPeMachineX86 && other_given ? ""
                                                     : "needs the 32-bit tool and 64-bit probes";
    default:
      return "";
  }
}

// {L+n}: the folder's length in bytes plus n.
std::string with_lengths(std::string text, const RunFolder& folder) {
  std::size_t length = folder.tool_directory().size();
  for (std::size_t at; (at = text.find("{L+")) != std::string::npos;) {
    std::size_t end = text.find('}', at);
    text.replace(at, end + 1 - at, std::to_string(length + std::stoul(text.substr(at + 3))));
  }
  return text;
}

// Whether `actual` is `expected` with each {*} standing for any text within
// one line.
bool matches(const std::string& actual, const std::string& expected) {
  std::size_t from = 0;
  std::size_t at = 0;
  for (;;) {
    std::size_t star = expected.find("{*}", from);
    std::string piece = expected.substr(from, star == std::string::npos ? star : star - from);
    if (actual.compare(at, piece.size(), piece) != 0) return false;
    at += piece.size();
    if (star == std::string::npos) return at == actual.size();
    from = star + 3;
    std::string next = expected.substr(from, expected.find("{*}", from) - from);
    std::size_t found = actual.find(next, at);
    if (found == std::string::npos || actual.find('\n', at) < found) return false;
    at = found;
  }
}

class WindowsModuleRun : public testing::TestWithParam<WindowsCase> {};

TEST_P(WindowsModuleRun, ExactOutputErrorsAndExitCode) {
  const WindowsCase& run_case = GetParam();
  RunFolder folder;
  std::string skip = reason_to_skip(run_case.needs, folder);
  if (!skip.empty()) GTEST_SKIP() << skip;

  folder.write("test.ini", "string:hi\nsaori:x\n");
  folder.write("saori.ini", expand(run_case.saori_ini, folder));
  for (const auto& [probe, destination] : run_case.probes) {
    if (probe.empty()) {
      folder.write(destination + RunFolder::module_suffix(), "this is text\n");
    } else if (probe.rfind("other:", 0) == 0) {
      folder.add_other_probe(probe.substr(6), destination);
    } else {
      folder.add_probe(probe, destination);
    }
  }

  RunFolder::Result result = folder.run_with("", run_case.environment);
  EXPECT_EQ(result.out, expand(with_lengths(run_case.out, folder), folder));
  std::string err = expand(run_case.err, folder);
  EXPECT_TRUE(matches(result.err, err)) << "standard error:\n"
                                        << result.err << "expected:\n"
                                        << err;
  EXPECT_EQ(result.exit_code, run_case.exit_code);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowsModuleRun, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<WindowsCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
