#pragma once

// Child processes the tool starts and talks to over pipes, so that a crash,
// a hang or an exit in the child is a result the parent reports rather than
// its own end. child_process_posix.cpp and child_process_win32.cpp implement
// it; the build picks one. One thread at a time uses a child.
//
// A pipe holds only a few KiB. A parent that writes more than that while the
// child is writing its answer waits for a child that waits for the parent:
// send a request, read what it asked for, then send the next.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ChildProcess;

// Where one of the child's standard streams goes: a pipe the parent writes
// or reads, or the parent's own stream, shared.
enum class ChildStream { kInherited, kPipe };

// Standard error is the parent's own: it is where the child's words for the
// user go, whatever the parent does with its output. A child whose words
// were all said before, by an earlier child doing the same, may have them
// discarded instead.
struct ChildStreams {
  ChildStream input;
  ChildStream output;
  bool discard_errors = false;
};

// Starts `program` (a path; no search is made) with `arguments` after its
// own name, every argument reaching the child as one, blanks, quotes,
// backslashes and empty ones included. Null when the child could not be
// started; no process or pipe is then left behind.
ChildProcess* start_child(const std::string& program, const std::vector<std::string>& arguments,
                          ChildStreams streams);

// Writes all `length` bytes to the child's standard input, waiting while
// the pipe is full. False when not all could be written: the child has
// ended or closed its input, or its input is not a pipe. A child that has
// gone never ends the parent (no SIGPIPE).
bool write_to_child(ChildProcess* child, const void* bytes, std::size_t length);

// Closes the pipe to the child's standard input, so that the child reads
// its end. Nothing happens when it is closed already or is no pipe.
void close_child_input(ChildProcess* child);

enum class ReadStatus {
  kBytes,     // `length` bytes were stored, at least one
  kEnd,       // no more will come: every writer closed the pipe, or the
              // child ended and what it wrote before is read (a process it
              // started may still hold the pipe open)
  kTimedOut,  // nothing came in time; a later read may still get bytes
};
struct ReadResult {
  ReadStatus status;
  std::size_t length;
};

// Reads what the child has written to its standard output, at most `size`
// bytes, waiting at most `timeout_ms` milliseconds for the first (-1: for
// as long as it takes). A read the system refuses, and a read from an
// output that is no pipe, is the end of the stream.
ReadResult read_from_child(ChildProcess* child, void* buffer, std::size_t size, int timeout_ms);

enum class ChildEndKind {
  kExited,     // `code` is the exit code, on Windows the whole 32 bits
  kSignalled,  // POSIX only: `code` is the number of the signal that ended it
  kRunning,    // it had not ended when the wait timed out
  kLost,       // the system will not say (POSIX: SIGCHLD ignored reaps it)
};
struct ChildEnd {
  ChildEndKind kind;
  std::uint32_t code;
};

// Waits at most `timeout_ms` milliseconds (-1: for as long as it takes; 0:
// only looks) for the child to end, and says how it ended. Once it has
// ended every later call says the same.
ChildEnd wait_for_child(ChildProcess* child, int timeout_ms);

// Ends the child at once, if it is still running: by SIGKILL on POSIX, with
// exit code 1 on Windows. wait_for_child then says so.
void kill_child(ChildProcess* child);

// Kills the child if it still runs, waits for it so that nothing is left
// behind, closes the pipes and frees `child`. Null is ignored.
void end_child(ChildProcess* child);
