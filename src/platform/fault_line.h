#pragma once

// The one line a fault handler writes, built in fixed memory: a handler may
// not allocate, and may be running on a small stack of its own.

#include <cstddef>
#include <cstdint>

class FaultLine {
 public:
  // kEndedProcessUnknownCode: where the system does not tell a process's
  // exit code before it has ended (Windows), the line does not claim one.
  // kEndedWithoutReport: the watcher's line for a worker that ended with
  // no word of its own.
  enum Kind { kCrashed, kEndedProcess, kEndedProcessUnknownCode, kTimedOut, kEndedWithoutReport };

  // Remembers which module and entry a call is about ("module echo
  // (/x/echo.so)", "request"), cutting what does not fit.
  void set(const char* name, const char* path, const char* entry);

  // Starts "modtest: " and what happened to the module of `call`, or, with
  // no call, to modtest itself; the details are appended after it.
  void begin(const FaultLine* call, Kind kind);
  void append(const char* text);
  void append_number(long number);
  void append_address(std::uintptr_t address);
  // Ends the line with its line feed.
  void end();

  const char* text() const { return text_; }
  std::size_t length() const { return length_; }
  // The line without "modtest: " and without its line feed.
  const char* fault() const { return fault_; }

 private:
  static constexpr std::size_t kCapacity = 8192;
  char text_[kCapacity];
  char fault_[kCapacity];
  std::size_t length_ = 0;
  char who_[kCapacity - 256];
  char entry_[64];
};
