#include <windows.h>

#include <algorithm>
#include <chrono>

#include "platform/child_process.h"

struct ChildProcess {
  HANDLE process = nullptr;
  HANDLE input = nullptr;   // the parent's end of the pipe to the child's input
  HANDLE output = nullptr;  // the parent's end of the pipe from the child's output
};

namespace {

using Clock = std::chrono::steady_clock;

// Asked of the system for each pipe; it may give more. Larger than the
// default, so that a request and its reply rarely wait for the other side.
constexpr DWORD kPipeBytes = 64 * 1024;
// Reads and writes are cut into pieces a DWORD can count.
constexpr std::size_t kLargestPiece = 1u << 30;
// Exit code of a child that kill_child ended.
constexpr UINT kKilledExitCode = 1;

void close_handle(HANDLE& handle) {
  if (handle != nullptr) CloseHandle(handle);
  handle = nullptr;
}

// A pipe whose end for the child alone is inheritable: a parent's end the
// child inherited would keep the pipe open after the parent closed its own.
bool make_pipe(HANDLE& child_end, HANDLE& parent_end, bool child_reads) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inheritable, kPipeBytes)) return false;
  child_end = child_reads ? read_end : write_end;
  parent_end = child_reads ? write_end : read_end;
  if (SetHandleInformation(parent_end, HANDLE_FLAG_INHERIT, 0)) return true;
  close_handle(child_end);
  close_handle(parent_end);
  return false;
}

// The parent's own standard handle as a copy the child can inherit, which
// the original need not be. Null when the parent has none.
HANDLE inheritable_copy(DWORD which) {
  HANDLE own = GetStdHandle(which);
  if (own == nullptr || own == INVALID_HANDLE_VALUE) return nullptr;
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), own, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return copy;
}

// Quoted so that the C runtime splits it back into this one argument: there
// 2n backslashes before a quote stand for n and the quote delimits, 2n + 1
// stand for n and a quote inside, and other backslashes for themselves.
void append_argument(std::string& line, const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    line += argument;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (char byte : argument) {
    if (byte == '\\') {
      ++backslashes;
      continue;
    }
    line.append(byte == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    line += byte;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

// The program's own name is split by other rules, up to the next quote with
// no backslash special; a Windows path holds no quote.
std::string command_line(const std::string& program, const std::vector<std::string>& arguments) {
  std::string line = '"' + program + '"';
  for (const std::string& argument : arguments) {
    line += ' ';
    append_argument(line, argument);
  }
  return line;
}

// The null device, for a stream whose bytes nobody is to see.
HANDLE discarding_handle() {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE handle = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                              OPEN_EXISTING, 0, nullptr);
  return handle != INVALID_HANDLE_VALUE ? handle : nullptr;
}

}  // namespace

ChildProcess* start_child(const std::string& program, const std::vector<std::string>& arguments,
                          ChildStreams streams) {
  HANDLE child_input = nullptr;
  HANDLE child_output = nullptr;
  HANDLE child_error =
      streams.discard_errors ? discarding_handle() : inheritable_copy(STD_ERROR_HANDLE);
  HANDLE parent_input = nullptr;
  HANDLE parent_output = nullptr;
  bool ready = true;
  if (streams.input == ChildStream::kPipe) {
    ready = make_pipe(child_input, parent_input, true);
  } else {
    child_input = inheritable_copy(STD_INPUT_HANDLE);
  }
  if (ready && streams.output == ChildStream::kPipe) {
    ready = make_pipe(child_output, parent_output, false);
  } else if (ready) {
    child_output = inheritable_copy(STD_OUTPUT_HANDLE);
  }

  std::string line = command_line(program, arguments);
  STARTUPINFOEXA startup{};
  startup.StartupInfo.cb = sizeof(startup);
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = child_input;
  startup.StartupInfo.hStdOutput = child_output;
  startup.StartupInfo.hStdError = child_error;
  // The child inherits its three handles and nothing else: another thread
  // starting its own child at the same time has inheritable pipe ends too,
  // and a child holding those would hide that one's end from its parent.
  HANDLE inherited[3];
  DWORD inherited_count = 0;
  for (HANDLE handle : {child_input, child_output, child_error}) {
    if (handle != nullptr) inherited[inherited_count++] = handle;
  }
  SIZE_T list_bytes = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &list_bytes);
  std::vector<char> list(list_bytes);
  auto attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(list.data());
  bool listed = ready && inherited_count > 0 &&
                InitializeProcThreadAttributeList(attributes, 1, 0, &list_bytes);
  if (listed &&
      UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                inherited_count * sizeof(HANDLE), nullptr, nullptr)) {
    startup.lpAttributeList = attributes;
  }
  PROCESS_INFORMATION started{};
  bool running =
      ready && CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, inherited_count > 0,
                              startup.lpAttributeList != nullptr ? EXTENDED_STARTUPINFO_PRESENT : 0,
                              nullptr, nullptr, &startup.StartupInfo, &started);
  if (listed) DeleteProcThreadAttributeList(attributes);
  // The child has its own copies now; the parent keeping a pipe's end for
  // the child would hide the child's end of the stream from the other side.
  close_handle(child_input);
  close_handle(child_output);
  close_handle(child_error);
  if (!running) {
    close_handle(parent_input);
    close_handle(parent_output);
    return nullptr;
  }
  CloseHandle(started.hThread);
  ChildProcess* child = new ChildProcess;
  child->process = started.hProcess;
  child->input = parent_input;
  child->output = parent_output;
  return child;
}

bool write_to_child(ChildProcess* child, const void* bytes, std::size_t length) {
  if (child->input == nullptr) return false;
  const char* next = static_cast<const char*>(bytes);
  while (length > 0) {
    DWORD piece = static_cast<DWORD>(std::min(length, kLargestPiece));
    DWORD written = 0;
    if (!WriteFile(child->input, next, piece, &written, nullptr) || written == 0) return false;
    next += written;
    length -= written;
  }
  return true;
}

void close_child_input(ChildProcess* child) {
  close_handle(child->input);
}

ReadResult read_from_child(ChildProcess* child, void* buffer, std::size_t size, int timeout_ms) {
  if (child->output == nullptr) return {ReadStatus::kEnd, 0};
  if (size == 0) return {ReadStatus::kBytes, 0};
  DWORD wanted = static_cast<DWORD>(std::min(size, kLargestPiece));
  // An anonymous pipe has no read with a time limit. What waits in it is
  // looked at instead, again and again, and read only once there is some,
  // so that the read itself never waits. A process the child started may
  // hold the pipe open after the child ended: the child's end is the
  // stream's end, once what it wrote before is read.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  DWORD pause_ms = 1;
  for (;;) {
    bool ended = WaitForSingleObject(child->process, 0) == WAIT_OBJECT_0;
    DWORD waiting = 0;
    if (!PeekNamedPipe(child->output, nullptr, 0, nullptr, &waiting, nullptr)) {
      return {ReadStatus::kEnd, 0};
    }
    if (waiting > 0) {
      wanted = std::min(wanted, waiting);
      break;
    }
    if (ended) return {ReadStatus::kEnd, 0};
    // Rounded up, so that no read times out before the deadline.
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (timeout_ms >= 0 && left.count() <= 0) return {ReadStatus::kTimedOut, 0};
    DWORD pause = timeout_ms < 0 ? pause_ms : std::min<DWORD>(pause_ms, DWORD(left.count()));
    Sleep(pause);
    pause_ms = std::min<DWORD>(pause_ms * 2, 16);
  }
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(child->output, buffer, wanted, &got, nullptr)) return {ReadStatus::kEnd, 0};
    // A child's write of no bytes reads as no bytes, not as the end.
    if (got > 0) return {ReadStatus::kBytes, got};
  }
}

ChildEnd wait_for_child(ChildProcess* child, int timeout_ms) {
  DWORD waited = WaitForSingleObject(child->process, timeout_ms < 0 ? INFINITE : DWORD(timeout_ms));
  if (waited == WAIT_TIMEOUT) return {ChildEndKind::kRunning, 0};
  DWORD code = 0;
  if (waited != WAIT_OBJECT_0 || !GetExitCodeProcess(child->process, &code)) {
    return {ChildEndKind::kLost, 0};
  }
  return {ChildEndKind::kExited, code};
}

void kill_child(ChildProcess* child) {
  // One that has ended refuses, and keeps its own exit code.
  TerminateProcess(child->process, kKilledExitCode);
}

void end_child(ChildProcess* child) {
  if (child == nullptr) return;
  close_handle(child->input);
  close_handle(child->output);
  if (wait_for_child(child, 0).kind == ChildEndKind::kRunning) {
    kill_child(child);
    wait_for_child(child, -1);
  }
  close_handle(child->process);
  delete child;
}
