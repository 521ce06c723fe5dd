#include "guard_heap/guard_heap.h"

#include <atomic>
#include <cstring>

#include "guard_heap/guard_tables.h"
#include "platform/page_memory.h"

namespace guard_state {
std::atomic<unsigned> every{0};
std::atomic<bool> active{false};
std::uintptr_t arena = 0;
std::size_t arena_bytes = 0;
}  // namespace guard_state

namespace {

using guard_state::active;
using guard_state::every;

GuardTables tables;
bool started = false;
std::size_t quarantine_limit = 0;
std::size_t quarantined = 0;
std::size_t live = 0;
// Quarantined blocks, oldest first, and unused ones: numbers + 1.
std::uint32_t quarantine_head = 0;
std::uint32_t quarantine_tail = 0;
std::uint32_t unused_head = 0;
// Where the search for free pages goes on from: the pages after the last
// block made are the likeliest free.
std::size_t cursor = 1;
std::atomic_flag lock_flag = ATOMIC_FLAG_INIT;
unsigned counted = 0;

// A module may allocate from threads of its own.
class Lock {
 public:
  Lock() {
    while (lock_flag.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~Lock() { lock_flag.clear(std::memory_order_release); }
};

std::size_t arena_pages() {
  return tables.arena_bytes / tables.page_size;
}

char* page_address(std::size_t page) {
  return tables.arena + page * tables.page_size;
}

void* table_pages(std::size_t bytes) {
  void* pages = reserve_pages(bytes);
  if (pages != nullptr && !open_pages(pages, bytes)) return nullptr;
  return pages;
}

// Gives a quarantined block's pages back for new blocks.
void evict_oldest() {
  GuardBlock& block = tables.blocks[quarantine_head - 1];
  std::uint32_t number = quarantine_head;
  quarantine_head = block.next;
  if (quarantine_head == 0) quarantine_tail = 0;
  quarantined -= block.pages * tables.page_size;
  for (std::uint32_t page = 0; page < block.pages; ++page) {
    tables.page_block[block.first_page + page] = 0;
  }
  block.state = BlockState::kUnused;
  block.next = unused_head;
  unused_head = number;
}

// The first of `count` free pages at or after the cursor, wrapping once;
// 0 for none (page 0 is the trip page, never a block's).
std::size_t find_pages(std::size_t count) {
  std::size_t total = arena_pages();
  for (int pass = 0; pass < 2; ++pass) {
    std::size_t page = pass == 0 ? cursor : 1;
    std::size_t end = pass == 0 ? total : cursor + count;
    while (page + count <= total && page < end) {
      std::size_t used = page + count;
      while (used > page && tables.page_block[used - 1] == 0) --used;
      if (used == page) return page;
      page = used;
    }
  }
  return 0;
}

std::size_t pages_for(std::size_t size, std::size_t alignment) {
  std::size_t bytes = size + alignment - 1;
  std::size_t own = (bytes + tables.page_size - 1) / tables.page_size;
  return (own == 0 ? 1 : own) + 1;
}

void* place_block(std::size_t size, std::size_t alignment, BlockOwner owner, std::uintptr_t from) {
  std::size_t count = pages_for(size, alignment);
  if (count >= arena_pages()) return nullptr;
  while (quarantine_head != 0 && (quarantined > quarantine_limit || unused_head == 0)) {
    evict_oldest();
  }
  std::size_t first = find_pages(count);
  while (first == 0 && quarantine_head != 0) {
    evict_oldest();
    first = find_pages(count);
  }
  if (first == 0 || unused_head == 0) return nullptr;
  char* own = page_address(first);
  std::size_t own_bytes = (count - 1) * tables.page_size;
  if (!open_pages(own, own_bytes)) return nullptr;
  std::uint32_t number = unused_head;
  GuardBlock& block = tables.blocks[number - 1];
  unused_head = block.next;
  char* end = own + own_bytes;
  std::uintptr_t start = reinterpret_cast<std::uintptr_t>(end - size) & ~(alignment - 1);
  std::memset(reinterpret_cast<char*>(start) + size, kSlackPattern,
              static_cast<std::size_t>(reinterpret_cast<std::uintptr_t>(end) - start - size));
  block = GuardBlock{start,
                     size,
                     from,
                     0,
                     static_cast<std::uint32_t>(first),
                     static_cast<std::uint32_t>(count),
                     0,
                     BlockState::kLive,
                     owner};
  for (std::size_t page = 0; page < count; ++page) tables.page_block[first + page] = number;
  cursor = first + count;
  ++live;
  return reinterpret_cast<void*>(start);
}

// The block whose pages hold `address`; null for none.
GuardBlock* block_at(const void* address) {
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(address);
  std::uintptr_t arena = reinterpret_cast<std::uintptr_t>(tables.arena);
  if (!started || at < arena || at - arena >= tables.arena_bytes) return nullptr;
  std::uint32_t number = tables.page_block[(at - arena) / tables.page_size];
  return number == 0 ? nullptr : &tables.blocks[number - 1];
}

// Bytes written past the end, into the slack: 0 when the pattern stands.
std::size_t bytes_written_past(const GuardBlock& block) {
  const unsigned char* slack = reinterpret_cast<const unsigned char*>(block.start + block.size);
  const unsigned char* end = reinterpret_cast<const unsigned char*>(
      tables.arena + (block.first_page + block.pages - 1) * tables.page_size);
  std::size_t past = 0;
  for (std::size_t at = 0; slack + at < end; ++at) {
    if (slack[at] != kSlackPattern) past = at + 1;
  }
  return past;
}

GuardFree report(BadFree kind, const GuardBlock* block, std::size_t written, std::uintptr_t from) {
  tables.bad_free.kind = kind;
  if (block != nullptr) tables.bad_free.block = *block;
  tables.bad_free.written = written;
  tables.bad_free.from = from;
  return GuardFree::kBad;
}

void quarantine(GuardBlock& block, std::uint32_t number, std::uintptr_t from) {
  close_pages(page_address(block.first_page), (block.pages - 1) * tables.page_size);
  block.state = BlockState::kQuarantined;
  block.freed_from = from;
  block.next = 0;
  if (quarantine_tail != 0) {
    tables.blocks[quarantine_tail - 1].next = number;
  } else {
    quarantine_head = number;
  }
  quarantine_tail = number;
  quarantined += block.pages * tables.page_size;
  --live;
}

}  // namespace

GuardHeapLimits default_guard_heap_limits() {
  // A 32-bit process has 2 GiB of address space in all.
  constexpr std::size_t kArena = sizeof(void*) == 8 ? std::size_t{1} << 30 : std::size_t{256} << 20;
  return GuardHeapLimits{kArena, std::size_t{64} << 20, 65536};
}

bool start_guard_heap(const GuardHeapLimits& limits) {
  Lock lock;
  if (started) return true;
  tables.page_size = memory_page_size();
  tables.arena_bytes = limits.arena_bytes / tables.page_size * tables.page_size;
  tables.arena = static_cast<char*>(reserve_pages(tables.arena_bytes));
  tables.page_block =
      static_cast<std::uint32_t*>(table_pages(arena_pages() * sizeof(std::uint32_t)));
  tables.most_blocks = limits.most_blocks;
  tables.blocks = static_cast<GuardBlock*>(table_pages(limits.most_blocks * sizeof(GuardBlock)));
  if (tables.arena == nullptr || tables.page_block == nullptr || tables.blocks == nullptr) {
    return false;
  }
  for (std::size_t number = limits.most_blocks; number > 0; --number) {
    tables.blocks[number - 1].next = unused_head;
    unused_head = static_cast<std::uint32_t>(number);
  }
  quarantine_limit = limits.quarantine_bytes;
  started = true;
  guard_state::arena = reinterpret_cast<std::uintptr_t>(tables.arena);
  guard_state::arena_bytes = tables.arena_bytes;
  return true;
}

const GuardTables* guard_tables() {
  return started ? &tables : nullptr;
}

void* guard_allocate(std::size_t size, std::size_t alignment, BlockOwner owner,
                     std::uintptr_t from) {
  if (!active.load(std::memory_order_relaxed)) return nullptr;
  Lock lock;
  if (!started || alignment == 0 || (alignment & (alignment - 1)) != 0 ||
      alignment > tables.page_size || size > tables.arena_bytes) {
    return nullptr;
  }
  return place_block(size, alignment, owner, from);
}

void* guard_reallocate(void* block, std::size_t size, std::size_t alignment, std::uintptr_t from) {
  std::size_t old_size = 0;
  if (!guard_block_size(block, old_size)) return nullptr;
  void* made = guard_allocate(size, alignment, BlockOwner::kModule, from);
  if (made == nullptr) return nullptr;
  std::memcpy(made, block, old_size < size ? old_size : size);
  if (guard_free(block, from) == GuardFree::kBad) guard_trip();
  return made;
}

bool guard_block_size(const void* block, std::size_t& size) {
  Lock lock;
  GuardBlock* found = block_at(block);
  if (found == nullptr || found->state != BlockState::kLive ||
      found->start != reinterpret_cast<std::uintptr_t>(block)) {
    return false;
  }
  size = found->size;
  return true;
}

GuardFree guard_free(void* address, std::uintptr_t from) {
  if (!guard_owns(address)) return GuardFree::kNotMine;
  Lock lock;
  GuardBlock* block = block_at(address);
  bool at_start = block != nullptr && block->start == reinterpret_cast<std::uintptr_t>(address);
  if (!at_start) return report(BadFree::kNoBlock, nullptr, 0, from);
  if (block->state == BlockState::kQuarantined) return report(BadFree::kTwice, block, 0, from);
  std::size_t written = bytes_written_past(*block);
  std::uint32_t number = tables.page_block[block->first_page];
  // Freed even so, so that the report's block is in the quarantine.
  quarantine(*block, number, from);
  if (written != 0) return report(BadFree::kWrotePast, block, written, from);
  return GuardFree::kFreed;
}

void guard_trip() {
  if (!started) return;
  *static_cast<volatile char*>(tables.arena) = 1;
}

void guard_every(unsigned share) {
  every.store(share);
  counted = 0;
  active.store(share != 0);
}

void guard_choose_next_request() {
  unsigned share = every.load(std::memory_order_relaxed);
  if (share <= 1) return;
  active.store(counted++ % share == 0, std::memory_order_relaxed);
}

void guard_set_active(bool on) {
  active.store(on && every.load() != 0);
}

std::size_t guard_quarantined_bytes() {
  Lock lock;
  return quarantined;
}

std::size_t guard_live_blocks() {
  Lock lock;
  return live;
}
