#include "child_process_cases.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLongMs = 20000;
constexpr int kShortMs = 200;
// Within what any pipe holds, so that an echo never waits for the reader.
constexpr std::size_t kPiece = 4096;

const ChildStreams kNonePiped{ChildStream::kInherited, ChildStream::kInherited};
const ChildStreams kOutputPiped{ChildStream::kInherited, ChildStream::kPipe};
const ChildStreams kBothPiped{ChildStream::kPipe, ChildStream::kPipe};

std::string letters(std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

// Every byte value, in an order no shift of a piece reproduces.
std::string mebibyte() {
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xff);
  }
  return bytes;
}

std::string describe(ChildEnd end) {
  return "kind " + std::to_string(static_cast<int>(end.kind)) + " code " + std::to_string(end.code);
}

}  // namespace

const std::vector<ChildCase>& child_cases() {
  static const std::vector<ChildCase> cases = {
      {"exit 0, nothing piped", {"exit", "0"}, kNonePiped, "", "", Ending::kExit, 0},
      {"exit 3", {"exit", "3"}, kOutputPiped, "", "", Ending::kExit, 3},
      {"exit 200, both piped", {"exit", "200"}, kBothPiped, "", "", Ending::kExit, 200},
      {"arguments",
       {"args", "plain", "two words", "", "a\"quote", "back\\slash", "trailing\\", "\\\\\"x\\\\",
        "\t", "\" \\\" "},
       kOutputPiped,
       "",
       "plain\ntwo words\n\na\"quote\nback\\slash\ntrailing\\\n\\\\\"x\\\\\n\t\n\" \\\" \n",
       Ending::kExit,
       0},
      {"echo of 1 MiB", {"echo"}, kBothPiped, mebibyte(), mebibyte(), Ending::kExit, 0},
      {"write", {"write", "100000"}, kOutputPiped, "", letters(100000), Ending::kExit, 0},
      {"sleep", {"sleep"}, kOutputPiped, "", "", Ending::kKilled, 0},
      {"close output, then sleep", {"close"}, kOutputPiped, "", "", Ending::kStillRunning, 0},
      {"crash", {"crash"}, kOutputPiped, "", "", Ending::kCrash, 0},
  };
  return cases;
}

std::string run_child_case(const std::string& probe, const ChildCase& c, ChildEnd crashed,
                           ChildEnd killed) {
  ChildProcess* child = start_child(probe, c.arguments, c.streams);
  if (child == nullptr) return "not started";
  const int read_ms = c.ending == Ending::kKilled ? kShortMs : kLongMs;
  std::string output;
  char buffer[kPiece];
  ReadStatus last_read = ReadStatus::kBytes;
  long long last_read_ms = 0;
  auto read_once = [&] {
    Clock::time_point start = Clock::now();
    ReadResult got = read_from_child(child, buffer, sizeof buffer, read_ms);
    last_read_ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    last_read = got.status;
    output.append(buffer, got.status == ReadStatus::kBytes ? got.length : 0);
    return got.status == ReadStatus::kBytes;
  };
  for (std::size_t sent = 0; sent < c.input.size();) {
    std::size_t piece = std::min(kPiece, c.input.size() - sent);
    if (!write_to_child(child, c.input.data() + sent, piece)) break;
    sent += piece;
    while (output.size() < sent && read_once()) {
    }
  }
  close_child_input(child);
  while (read_once()) {
  }
  if (last_read == ReadStatus::kTimedOut) kill_child(child);
  ChildEnd end = wait_for_child(child, c.ending == Ending::kStillRunning ? kShortMs : kLongMs);
  end_child(child);

  ChildEnd expected{ChildEndKind::kExited, c.exit_code};
  if (c.ending == Ending::kCrash) expected = crashed;
  if (c.ending == Ending::kKilled) expected = killed;
  if (c.ending == Ending::kStillRunning) expected = {ChildEndKind::kRunning, 0};
  std::string failures;
  // Compared whole but not shown: a mebibyte would bury the report.
  if (output != c.output) {
    failures += std::to_string(output.size()) + " bytes read, not these " +
                std::to_string(c.output.size()) + "; ";
  }
  bool times_out = c.ending == Ending::kKilled;
  if (last_read != (times_out ? ReadStatus::kTimedOut : ReadStatus::kEnd)) {
    failures += "reading stopped otherwise; ";
  }
  if (times_out && (last_read_ms < read_ms || last_read_ms > read_ms + 2000)) {
    failures += "the read timed out after " + std::to_string(last_read_ms) + " ms; ";
  }
  if (end.kind != expected.kind || end.code != expected.code) {
    failures += "ended with " + describe(end) + ", not " + describe(expected);
  }
  return failures;
}
