#pragma once

// What a fault was in the guarded heap's terms, in the module writer's
// words: "read 1 byte past the end of the 12-byte request block", "freed a
// block twice", with the block's size and where it was allocated and
// freed. Made in fixed memory, with no allocation: a fault handler calls it.

#include <cstddef>
#include <cstdint>

enum class FaultAccess : unsigned char { kUnknown, kRead, kWrite };

struct GuardFault {
  char words[640];
  // The place to name rather than the faulting instruction, for an error
  // found in a free: the free's caller, or for bytes written past the end,
  // the allocation's. 0 keeps the instruction.
  std::uintptr_t place;
};

// False when the fault at `data_address` touched none of the heap's pages
// and follows no bad free.
bool describe_guard_fault(std::uint64_t data_address, FaultAccess access, GuardFault& fault);

// The same for the fault a handler is reporting (last_fault_facts of
// platform/fault_reporting.h).
bool describe_reported_fault(GuardFault& fault);
