#pragma once

// The guarded heap's tables, shared by the allocator (guard_heap.cpp) and
// the words of a fault (guard_fault.cpp), which reads them in a handler.

#include <cstddef>
#include <cstdint>

#include "guard_heap/guard_heap.h"

enum class BlockState : unsigned char { kUnused, kLive, kQuarantined };

struct GuardBlock {
  std::uintptr_t start;  // the block's first byte
  std::size_t size;
  std::uintptr_t allocated_from;
  std::uintptr_t freed_from;
  std::uint32_t first_page;  // in the arena
  std::uint32_t pages;       // its own pages and the no-access one after them
  std::uint32_t next;        // the next unused or quarantined block's number + 1
  BlockState state;
  BlockOwner owner;
};

// A free that was an error, kept until the handler tells it.
enum class BadFree : unsigned char { kNone, kTwice, kNoBlock, kWrotePast };
struct BadFreeEvent {
  BadFree kind;
  GuardBlock block;     // a copy: kTwice and kWrotePast
  std::size_t written;  // kWrotePast: bytes written past the end
  std::uintptr_t from;  // the free's return address
};

struct GuardTables {
  char* arena;
  std::size_t arena_bytes;
  std::size_t page_size;
  // Each page's block number + 1, or 0 for a page of no block.
  std::uint32_t* page_block;
  GuardBlock* blocks;
  std::size_t most_blocks;
  BadFreeEvent bad_free;
};

// Null until the heap is started.
const GuardTables* guard_tables();

// The byte the slack after a block is filled with.
constexpr unsigned char kSlackPattern = 0xD5;
