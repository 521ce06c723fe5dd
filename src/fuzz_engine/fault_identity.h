#pragma once

// What tells one bug of a module from another once it faulted: the signal
// or exception code and the place of the faulting instruction in the
// module's file. Two requests that fault with the same identity are taken
// as one bug; any difference makes them two.

#include <cstdint>
#include <string>

struct FaultIdentity {
  std::uint64_t code = 0;  // the signal number, or on Windows the exception code; 0 unknown
  std::string place;       // "mine.so+0x1a2b (name+0x2b)"; empty when unknown
  bool operator==(const FaultIdentity& other) const {
    return code == other.code && place == other.place;
  }
  bool operator!=(const FaultIdentity& other) const { return !(*this == other); }
};

// The code in a module writer's words: "segmentation fault (SIGSEGV)",
// "access violation (0xC0000005)"; empty for 0.
std::string name_fault_code(std::uint64_t code);
