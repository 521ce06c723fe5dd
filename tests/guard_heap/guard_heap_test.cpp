#include "guard_heap/guard_heap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "guard_heap/guard_fault.h"
#include "guard_heap/guard_tables.h"

namespace {

constexpr std::size_t kQuarantine = std::size_t{1} << 20;

class GuardHeapTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(start_guard_heap({std::size_t{64} << 20, kQuarantine, 4096}));
    guard_every(1);
    page_ = guard_tables()->page_size;
  }
  static std::string words_at(std::uintptr_t address, FaultAccess access = FaultAccess::kRead) {
    GuardFault fault;
    return describe_guard_fault(address, access, fault) ? fault.words : "(none)";
  }
  // After a bad free the handler is sent to the heap's first page.
  static std::string bad_free_words() {
    return words_at(reinterpret_cast<std::uintptr_t>(guard_tables()->arena));
  }
  std::size_t page_ = 0;
};

TEST_F(GuardHeapTest, PutsEachBlockEndAgainstANoAccessPage) {
  const struct {
    std::size_t size;
    std::size_t alignment;
    const char* past;  // the words for the first byte of the page after it
  } rows[] = {
      {12, 1, "read 1 byte past the end of the 12-byte request block"},
      {0, 1, "read 1 byte past the end of the 0-byte request block"},
      {4096, 1, "read 1 byte past the end of the 4096-byte request block"},
      {12, 16, "read 5 bytes past the end of its own 12-byte block"},
      {4097, 16, "read 16 bytes past the end of its own 4097-byte block"},
      {100, 64, "read 29 bytes past the end of its own 100-byte block"},
  };
  for (const auto& row : rows) {
    BlockOwner owner = row.alignment == 1 ? BlockOwner::kRequest : BlockOwner::kModule;
    char* block = static_cast<char*>(guard_allocate(row.size, row.alignment, owner, 0));
    ASSERT_NE(block, nullptr) << row.size;
    std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block);
    EXPECT_EQ(start % row.alignment, 0u) << row.size;
    std::uintptr_t guard = (start + row.size + page_ - 1) / page_ * page_;
    EXPECT_LT(guard - (start + row.size), row.alignment == 1 ? 1u : row.alignment) << row.size;
    std::memset(block, 'x', row.size);
    std::size_t size = 1;
    EXPECT_TRUE(guard_block_size(block, size));
    EXPECT_EQ(size, row.size);
    EXPECT_EQ(words_at(guard), row.past);
    EXPECT_EQ(guard_free(block, 0), GuardFree::kFreed);
  }
  char* block = static_cast<char*>(guard_allocate(12, 1, BlockOwner::kRequest, 0));
  EXPECT_DEATH(block[12] = 'x', "");
}

TEST_F(GuardHeapTest, TellsEachBadFree) {
  const struct {
    const char* what;
    void (*error)(char* block);  // after a 12-byte block is made
    const char* words;
  } rows[] = {
      {"one byte past", [](char* block) { block[12] = 0; },
       "wrote 1 byte past the end of its own 12-byte block"},
      {"three bytes past", [](char* block) { block[14] = 0; },
       "wrote 3 bytes past the end of its own 12-byte block"},
      {"twice", [](char* block) { guard_free(block, 0); }, "freed a block twice: its own 12-byte"},
  };
  for (const auto& row : rows) {
    char* block = static_cast<char*>(guard_allocate(12, 16, BlockOwner::kModule, 0));
    ASSERT_NE(block, nullptr);
    row.error(block);
    EXPECT_EQ(guard_free(block, 1), GuardFree::kBad) << row.what;
    EXPECT_EQ(bad_free_words().rfind(row.words, 0), 0u) << bad_free_words();
  }
  char* block = static_cast<char*>(guard_allocate(12, 16, BlockOwner::kModule, 0));
  EXPECT_EQ(guard_free(block + 1, 1), GuardFree::kBad);
  EXPECT_EQ(bad_free_words(), "freed an address that is no block");
  void* foreign = std::malloc(12);
  EXPECT_EQ(guard_free(foreign, 1), GuardFree::kNotMine);
  std::free(foreign);
  EXPECT_EQ(guard_free(block, 1), GuardFree::kFreed);
  EXPECT_EQ(words_at(reinterpret_cast<std::uintptr_t>(block) + 3, FaultAccess::kWrite)
                .rfind("wrote to a block it had freed: its own 12-byte block", 0),
            0u);
}

TEST_F(GuardHeapTest, KeepsFreedBlocksNoAccessWithinItsBound) {
  std::size_t live = guard_live_blocks();
  char* last = nullptr;
  for (int round = 0; round < 400; ++round) {
    last = static_cast<char*>(guard_allocate(9000, 16, BlockOwner::kModule, 0));
    ASSERT_NE(last, nullptr) << round;
    EXPECT_EQ(guard_free(last, 0), GuardFree::kFreed);
    EXPECT_LE(guard_quarantined_bytes(), kQuarantine + 4 * page_);
  }
  EXPECT_GE(guard_quarantined_bytes(), kQuarantine - 4 * page_);
  EXPECT_EQ(guard_live_blocks(), live);
  EXPECT_DEATH(last[0] = 'x', "");
  // Off, the heap makes nothing: the system's allocator takes over.
  guard_every(0);
  EXPECT_EQ(guard_allocate(12, 16, BlockOwner::kModule, 0), nullptr);
}

TEST_F(GuardHeapTest, ReallocatesBothWays) {
  const struct {
    std::size_t from;
    std::size_t to;
  } rows[] = {{12, 5000}, {5000, 3}, {16, 16}};
  for (const auto& row : rows) {
    char* block = static_cast<char*>(guard_allocate(row.from, 16, BlockOwner::kModule, 0));
    ASSERT_NE(block, nullptr);
    for (std::size_t at = 0; at < row.from; ++at) block[at] = static_cast<char>(at * 7);
    char* moved = static_cast<char*>(guard_reallocate(block, row.to, 16, 0));
    ASSERT_NE(moved, nullptr);
    std::size_t size = 0;
    EXPECT_TRUE(guard_block_size(moved, size));
    EXPECT_EQ(size, row.to);
    for (std::size_t at = 0; at < std::min(row.from, row.to); ++at) {
      ASSERT_EQ(moved[at], static_cast<char>(at * 7)) << row.from << " to " << row.to;
    }
    EXPECT_FALSE(guard_block_size(block, size));
    EXPECT_EQ(guard_free(moved, 0), GuardFree::kFreed);
  }
  void* foreign = std::malloc(4);
  EXPECT_EQ(guard_reallocate(foreign, 8, 16, 0), nullptr);
  std::free(foreign);
}

}  // namespace
