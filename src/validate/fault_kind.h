#pragma once

// How a module's host ended in a fault, as the validator tells faults apart.

#include <cstdint>
#include <string>

#include "fuzz_engine/fault_identity.h"
#include "host/host_client.h"

// How a host ended, as much as tells one fault from another: how the
// process ended, and what the fault inside it was and where.
struct FaultKind {
  HostEnd::Kind kind = HostEnd::kRunning;
  std::uint32_t code = 0;
  FaultIdentity identity;
  bool has_data_address = false;
  std::uint64_t data_address = 0;  // not part of the identity: it moves with the request
  // The guarded heap's words for the fault, when it was one of its own.
  std::string guard_words;
  bool operator==(const FaultKind& other) const {
    return kind == other.kind && code == other.code && identity == other.identity;
  }
};
