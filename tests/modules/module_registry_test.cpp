// The module host when memory runs out, and the calls that must never reach
// a module. Libraries are not needed: records are filled by hand or point at
// modules that do not exist.

#include "modules/module_registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "modules/host_memory.h"
#include "platform/module_block.h"
#include "temp_folder.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// Fails the allocation with the given number (counted from 1), and only it.
int allocations = 0;
int failing_allocation = 0;
void* counting_allocator(std::size_t size) {
  return ++allocations == failing_allocation ? nullptr : std::malloc(size);
}

class FailingAllocation {
 public:
  explicit FailingAllocation(int number) : previous_(set_host_allocator(counting_allocator)) {
    allocations = 0;
    failing_allocation = number;
  }
  ~FailingAllocation() { set_host_allocator(previous_); }

 private:
  HostAllocator previous_;
};

class ListFolder {
 public:
  explicit ListFolder(const std::string& list) : path_(folder_.directory()) {
    folder_.write("saori.ini", list);
  }
  const char* path() const { return path_.c_str(); }

 private:
  TempFolder folder_;
  std::string path_;
};

int filled_records(const ModuleRegistry& registry) {
  int filled = 0;
  for (ModuleRecord* record = registry.head; record != nullptr; record = record->next) {
    if (record->next != nullptr) {
      EXPECT_NE(record->name, nullptr);
      EXPECT_NE(record->path, nullptr);
      ++filled;
    } else {
      EXPECT_EQ(record->name, nullptr);  // the chain ends with one empty record
    }
  }
  return filled;
}

}  // namespace

// Allocations while the list is read: 1 the list's path, 2 the directory
// copy, 3 the head record; per entry line, the full path, the next record,
// the name and the path copy (binding a missing module allocates nothing).
TEST(ModuleRegistryTest, RunningOutOfMemoryNeverLeavesAHalfMadeChain) {
  struct Row {
    int failing;
    const char* output;  // after the directory placeholder is filled in
    bool has_records;
    int filled;
  };
  const std::string kFail =
      "\x82\xf0load\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd\x81\x42\n";
  const Row rows[] = {
      {1, "saori.ini don't open!!\n", false, 0},
      {2, "init malloc error!", false, 0},
      {3, "init malloc error!", false, 0},
      {4, "", true, 0},
      {5, "set_nextpointer NG\n", true, 0},
      {6, "", true, 0},
      {7, "", true, 0},
      {9, "NG\n{D}a.so{F}name:a\npath:{D}a.so\nset_nextpointer NG\n", true, 1},
      {0, "NG\n{D}a.so{F}name:a\npath:{D}a.so\nNG\n{D}b.so{F}name:b\npath:{D}b.so\n", true, 2},
  };
  ListFolder folder("a:a.so\nb:b.so\n");
  for (const Row& row : rows) {
    std::string expected = row.output;
    for (auto [mark, text] : {std::pair{"{D}", std::string(folder.path())}, {"{F}", kFail}}) {
      for (std::size_t at; (at = expected.find(mark)) != std::string::npos;) {
        expected.replace(at, 3, text);
      }
    }
    ModuleRegistry registry;
    init_registry(&registry);
    CaptureStdout();
    {
      FailingAllocation failure(row.failing);
      load_module_list(&registry, folder.path());
    }
    EXPECT_EQ(GetCapturedStdout(), expected) << "allocation " << row.failing;
    EXPECT_EQ(registry.head != nullptr, row.has_records) << "allocation " << row.failing;
    EXPECT_EQ(filled_records(registry), row.filled) << "allocation " << row.failing;

    char* buffer = host_copy_text("request");
    EXPECT_EQ(send_request(&registry, "nobody", &buffer), 0);
    EXPECT_STREQ(buffer, "request");
    host_release(buffer);
    unload_all_modules(&registry);
    EXPECT_EQ(registry.head, nullptr);
    end_registry(&registry);
  }
}

namespace {

ModuleBlock reply_hello(ModuleBlock block, long* length) {
  free_module_block(block);
  *length = 5;
  ModuleBlock reply = alloc_module_block(5);
  std::memcpy(lock_module_block(reply), "hello", 5);
  return reply;
}

}  // namespace

TEST(ModuleRegistryTest, ReplyThatCannotBeCopiedLeavesAnEmptyLiveBuffer) {
  ModuleRecord record;
  init_record(&record);
  record.request_entry = reply_hello;
  char* buffer = host_copy_text("question");
  CaptureStdout();
  {
    FailingAllocation failure(1);
    EXPECT_EQ(call_request(&record, &buffer), 1);
  }
  EXPECT_EQ(GetCapturedStdout(), "malloc error!\n");
  EXPECT_STREQ(buffer, "");
  host_release(buffer);  // must still be the caller's to release
}

TEST(ModuleRegistryTest, MissingRequestEntryIsNeverCalled) {
  ModuleRecord record;
  init_record(&record);
  int dummy_library = 0;
  for (void* library : {static_cast<void*>(&dummy_library), static_cast<void*>(nullptr)}) {
    record.library = library;
    char* buffer = host_copy_text("question");
    CaptureStdout();
    EXPECT_EQ(call_request(&record, &buffer), 1);
    // A library that did not load at all has been reported already.
    EXPECT_EQ(GetCapturedStdout(), library ? "request is not export!\n" : "");
    EXPECT_STREQ(buffer, "question");
    host_release(buffer);
  }
}

TEST(ModuleRegistryTest, StateTakesOnlyZeroOrOne) {
  ModuleRecord record;
  init_record(&record);
  EXPECT_EQ(set_state(&record, 1), 1);
  EXPECT_EQ(set_state(&record, 2), 0);
  EXPECT_EQ(get_state(&record), 1u);
  EXPECT_EQ(set_state(&record, 0), 1);
  EXPECT_EQ(get_state(&record), 0u);
  // An unbound record is released without touching its (absent) library.
  EXPECT_EQ(release_module(&record), 1);
}

TEST(HostMemoryTest, CopyBytesTakesExactlyTheLengthAndAddsNul) {
  const std::string rows[] = {"question", std::string("a\0b", 3), ""};
  for (const std::string& bytes : rows) {
    char* copy = host_copy_bytes(bytes.data(), bytes.size());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::string(copy, bytes.size() + 1), bytes + '\0');
    host_release(copy);
  }
  FailingAllocation failure(1);
  EXPECT_EQ(host_copy_bytes("question", 8), nullptr);
}
