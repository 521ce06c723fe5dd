#include "check/case_journal.h"

#include <algorithm>
#include <cstring>

namespace {

struct EntryHead {
  std::size_t index;
  double seconds;
  std::size_t message_length;
  std::size_t details_length;
  bool passed;
};

constexpr std::string_view kCut = "...";

// Copies `text` at `at`, cut to `room` bytes with "..." when it is longer.
std::size_t put_cut(char* at, std::string_view text, std::size_t room) {
  if (text.size() <= room) {
    std::memcpy(at, text.data(), text.size());
    return text.size();
  }
  if (room < kCut.size()) return 0;
  std::size_t kept = room - kCut.size();
  std::memcpy(at, text.data(), kept);
  std::memcpy(at + kept, kCut.data(), kCut.size());
  return room;
}

}  // namespace

void journal_case(CaseJournal& journal, const JournalEntry& entry) {
  std::size_t room = sizeof journal.bytes - journal.length;
  if (room < sizeof(EntryHead)) return;
  room -= sizeof(EntryHead);
  char* text = journal.bytes + journal.length + sizeof(EntryHead);
  EntryHead head{entry.index, entry.seconds, 0, 0, entry.passed};
  head.message_length = put_cut(text, entry.message, room);
  head.details_length =
      put_cut(text + head.message_length, entry.details, room - head.message_length);
  std::memcpy(journal.bytes + journal.length, &head, sizeof head);
  journal.length += sizeof head + head.message_length + head.details_length;
}

bool next_journal_entry(const CaseJournal& journal, std::size_t& offset, JournalEntry& entry) {
  if (offset + sizeof(EntryHead) > journal.length) return false;
  EntryHead head;
  std::memcpy(&head, journal.bytes + offset, sizeof head);
  const char* text = journal.bytes + offset + sizeof head;
  entry = {head.index, head.passed, head.seconds, std::string_view(text, head.message_length),
           std::string_view(text + head.message_length, head.details_length)};
  offset += sizeof head + head.message_length + head.details_length;
  return true;
}
