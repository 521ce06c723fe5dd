#include "platform/fault_line.h"

#include <cstring>

namespace {

// Copies as much of `text` as fits before `end` and returns where it stopped.
// Whole runs at a time: every module call copies its module's name and path.
char* copy_into(char* to, const char* end, const char* text) {
  std::size_t length = std::strlen(text);
  std::size_t room = static_cast<std::size_t>(end - to);
  if (length > room) length = room;
  std::memcpy(to, text, length);
  return to + length;
}

}  // namespace

void FaultLine::set(const char* name, const char* path, const char* entry) {
  char* end = who_ + sizeof who_ - 1;
  char* at = copy_into(who_, end, "module ");
  at = copy_into(at, end, name != nullptr ? name : "");
  at = copy_into(at, end, " (");
  at = copy_into(at, end, path != nullptr ? path : "");
  at = copy_into(at, end, ")");
  *at = '\0';
  *copy_into(entry_, entry_ + sizeof entry_ - 1, entry) = '\0';
}

void FaultLine::begin(const FaultLine* call, Kind kind) {
  length_ = 0;
  append("modtest: ");
  if (call == nullptr) {
    append("modtest itself crashed: ");
    return;
  }
  append(call->who_);
  switch (kind) {
    case kCrashed:
      append(" crashed in ");
      append(call->entry_);
      append(": ");
      break;
    case kEndedProcess:
      append(" ended the process in ");
      append(call->entry_);
      append(" with exit code ");
      break;
    case kEndedProcessUnknownCode:
      append(" ended the process in ");
      append(call->entry_);
      break;
    case kEndedWithoutReport:
      append(" ended the run in ");
      append(call->entry_);
      append(" without a report: ");
      break;
    case kTimedOut:
      append(" has not returned from ");
      append(call->entry_);
      append(" after ");
      break;
  }
}

void FaultLine::append(const char* text) {
  // Room is kept for the line feed.
  length_ =
      static_cast<std::size_t>(copy_into(text_ + length_, text_ + kCapacity - 2, text) - text_);
}

void FaultLine::append_number(long number) {
  char digits[24];
  char* at = digits + sizeof digits;
  *--at = '\0';
  unsigned long magnitude =
      number < 0 ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
  do {
    *--at = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) *--at = '-';
  append(at);
}

void FaultLine::append_address(std::uintptr_t address) {
  char digits[2 + 2 * sizeof address + 1];
  char* at = digits + sizeof digits;
  *--at = '\0';
  do {
    *--at = "0123456789abcdef"[address % 16];
    address /= 16;
  } while (address != 0);
  *--at = 'x';
  *--at = '0';
  append(at);
}

void FaultLine::end() {
  constexpr std::size_t kPrefix = sizeof "modtest: " - 1;
  std::size_t fault_length = length_ - kPrefix;
  for (std::size_t i = 0; i < fault_length; ++i) fault_[i] = text_[kPrefix + i];
  fault_[fault_length] = '\0';
  text_[length_++] = '\n';
  text_[length_] = '\0';
}
