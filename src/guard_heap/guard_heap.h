#pragma once

// A heap that puts every block at the end of pages of its own, its last
// byte against a page with no access, so that a read or write past the end
// faults at the instruction that makes it. A freed block's pages lose all
// access and stay so for a while (the quarantine), so a use after free
// faults too; a double free and a free of what is no block are told when
// they happen. Its tables lie in pages of their own, fixed once started, so
// that a fault handler can read them with no allocation. Portable: it
// stands on platform/page_memory.h alone.

#include <atomic>
#include <cstddef>
#include <cstdint>

// Whose block it is, for the words of a finding.
enum class BlockOwner : unsigned char { kModule, kRequest, kLoad };

struct GuardHeapLimits {
  std::size_t arena_bytes;       // the address space blocks are made in
  std::size_t quarantine_bytes;  // freed pages kept no-access, at most
  std::size_t most_blocks;       // blocks live and quarantined together
};
GuardHeapLimits default_guard_heap_limits();

// Sets the heap up; true when it is ready, now or from an earlier call.
// False when the system refused the address space.
bool start_guard_heap(const GuardHeapLimits& limits = default_guard_heap_limits());

// The alignment blocks get unless asked for more: 16 bytes on a 64-bit
// system, 8 on a 32-bit one.
constexpr std::size_t kGuardAlignment = sizeof(void*) * 2;

// A block of `size` bytes, its start a multiple of `alignment` (a power of
// two); `from` is the return address of the call that asked, kept for the
// report. Null when the heap is not started, is full, or the alignment is
// beyond a page: the caller then takes the system's allocator.
void* guard_allocate(std::size_t size, std::size_t alignment, BlockOwner owner,
                     std::uintptr_t from);

// A live block moved to a new one of `size` bytes, as many of its bytes
// copied as fit, the old one freed. Null when no block could be made, or
// `block` is no live block: `block` is then untouched.
void* guard_reallocate(void* block, std::size_t size, std::size_t alignment, std::uintptr_t from);

// What every request of a loop reads, kept where the functions below can
// read it inline: a fast module's request takes a few nanoseconds.
namespace guard_state {
extern std::atomic<unsigned> every;
extern std::atomic<bool> active;
extern std::uintptr_t arena;     // 0 until the heap is started
extern std::size_t arena_bytes;  // 0 until the heap is started
}  // namespace guard_state

// Whether `address` lies in the heap's address space: no other allocator
// may be handed it.
inline bool guard_owns(const void* address) {
  return reinterpret_cast<std::uintptr_t>(address) - guard_state::arena < guard_state::arena_bytes;
}

// The size of a live block starting at `block`; false for anything else.
bool guard_block_size(const void* block, std::size_t& size);

// kFreed: the block went to the quarantine. kBad: the free was an error
// (a block freed twice, an address that is no block, bytes written past
// the end), kept for guard_describe_fault; the caller then ends the call
// with guard_trip. kNotMine: no address of this heap.
enum class GuardFree { kNotMine, kFreed, kBad };
GuardFree guard_free(void* block, std::uintptr_t from);

// Faults on purpose on a no-access page of the heap, after a kBad free:
// the fault handler then reports it. Does not return once started.
void guard_trip();

// Whether blocks asked for now are guarded: on for every request, or one
// request in `share` (1 for all, 0 for none); a loop of requests calls
// guard_next_request before each. guard_allocate answers null while off.
void guard_every(unsigned share);
void guard_choose_next_request();
inline void guard_next_request() {
  if (guard_state::every.load(std::memory_order_relaxed) > 1) guard_choose_next_request();
}
void guard_set_active(bool active);
inline bool guard_enabled() {
  return guard_state::every.load(std::memory_order_relaxed) != 0;
}
inline bool guard_active() {
  return guard_state::active.load(std::memory_order_relaxed);
}

// Bytes in the quarantine now, and live blocks: for tests.
std::size_t guard_quarantined_bytes();
std::size_t guard_live_blocks();
