#include "guard_heap/guard_fault.h"

#include "guard_heap/guard_tables.h"
#include "platform/code_place.h"
#include "platform/fault_reporting.h"

namespace {

// Appends to the fixed words: no library call, as in a handler.
class Words {
 public:
  explicit Words(char* text, std::size_t size) : text_(text), size_(size) { text_[0] = '\0'; }
  Words& add(const char* part) {
    for (; *part != '\0'; ++part) {
      if (length_ + 1 < size_) text_[length_++] = *part;
    }
    text_[length_] = '\0';
    return *this;
  }
  Words& number(unsigned long long value) {
    char digits[24];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    char text[24];
    for (int at = 0; at < count; ++at) text[at] = digits[count - 1 - at];
    text[count] = '\0';
    return add(text);
  }
  Words& place(std::uintptr_t address) {
    static CodePlace found;
    static char text[sizeof found.file + sizeof found.symbol + 48];
    if (address != 0 && find_code_place(address, found)) {
      format_code_place(found, text, sizeof text);
      return add(text);
    }
    return add("an unknown place");
  }

 private:
  char* text_;
  std::size_t size_;
  std::size_t length_ = 0;
};

void add_bytes(Words& words, std::size_t count) {
  words.number(count).add(count == 1 ? " byte" : " bytes");
}

void add_block(Words& words, const GuardBlock& block) {
  switch (block.owner) {
    case BlockOwner::kRequest:
      words.add("the ").number(block.size).add("-byte request block");
      return;
    case BlockOwner::kLoad:
      words.add("the ").number(block.size).add("-byte block load was given");
      return;
    case BlockOwner::kModule:
      words.add("its own ").number(block.size).add("-byte block");
      return;
  }
}

// "(allocated at mine.so+0x1a2b (request+0x2b), freed at ...)": where the
// block came from the module, and where it went back.
void add_history(Words& words, const GuardBlock& block, bool freed) {
  bool allocated = block.owner == BlockOwner::kModule && block.allocated_from != 0;
  freed = freed && block.freed_from != 0;
  if (!allocated && !freed) return;
  words.add(" (");
  if (allocated) words.add("allocated at ").place(block.allocated_from);
  if (allocated && freed) words.add(", ");
  if (freed) words.add("freed at ").place(block.freed_from);
  words.add(")");
}

const char* verb(FaultAccess access) {
  switch (access) {
    case FaultAccess::kRead:
      return "read ";
    case FaultAccess::kWrite:
      return "wrote ";
    case FaultAccess::kUnknown:
      break;
  }
  return "touched ";
}

bool describe_bad_free(const BadFreeEvent& event, GuardFault& fault) {
  Words words(fault.words, sizeof fault.words);
  fault.place = event.from;
  switch (event.kind) {
    case BadFree::kNone:
      return false;
    case BadFree::kNoBlock:
      // No return address: the host freed the module's reply.
      words.add(event.from != 0 ? "freed an address that is no block"
                                : "returned as its reply an address that is no block");
      return true;
    case BadFree::kTwice:
      words.add(event.from != 0 ? "freed a block twice: " : "returned a block it had freed: ");
      add_block(words, event.block);
      if (event.block.freed_from != 0) words.add(", first freed at ").place(event.block.freed_from);
      if (event.from == 0) fault.place = event.block.freed_from;
      return true;
    case BadFree::kWrotePast:
      words.add("wrote ");
      add_bytes(words, event.written);
      words.add(" past the end of ");
      add_block(words, event.block);
      add_history(words, event.block, false);
      words.add(", found when it was freed");
      fault.place = event.block.owner == BlockOwner::kModule ? event.block.allocated_from : 0;
      return true;
  }
  return false;
}

}  // namespace

bool describe_guard_fault(std::uint64_t data_address, FaultAccess access, GuardFault& fault) {
  const GuardTables* tables = guard_tables();
  if (tables == nullptr) return false;
  std::uintptr_t arena = reinterpret_cast<std::uintptr_t>(tables->arena);
  if (data_address < arena || data_address - arena >= tables->arena_bytes) return false;
  std::size_t page = static_cast<std::size_t>((data_address - arena) / tables->page_size);
  if (page == 0) return describe_bad_free(tables->bad_free, fault);
  fault.place = 0;
  Words words(fault.words, sizeof fault.words);
  std::uint32_t number = tables->page_block[page];
  if (number == 0) {
    words.add(verb(access)).add("guarded memory that holds no block");
    return true;
  }
  const GuardBlock& block = tables->blocks[number - 1];
  if (block.state == BlockState::kQuarantined) {
    words.add(access == FaultAccess::kWrite ? "wrote to a block it had freed: "
                                            : "read a block it had freed: ");
    add_block(words, block);
    add_history(words, block, true);
    return true;
  }
  std::uint64_t end = block.start + block.size;
  words.add(verb(access));
  if (data_address >= end) {
    add_bytes(words, static_cast<std::size_t>(data_address - end + 1));
    words.add(" past the end of ");
  } else {
    add_bytes(words, static_cast<std::size_t>(block.start - data_address));
    words.add(" before the start of ");
  }
  add_block(words, block);
  add_history(words, block, false);
  return true;
}

bool describe_reported_fault(GuardFault& fault) {
  const FaultFacts& facts = last_fault_facts();
  FaultAccess access = facts.access == FaultFacts::kRead    ? FaultAccess::kRead
                       : facts.access == FaultFacts::kWrite ? FaultAccess::kWrite
                                                            : FaultAccess::kUnknown;
  return facts.has_data_address && describe_guard_fault(facts.data_address, access, fault);
}
