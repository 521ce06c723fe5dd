#pragma once

// What the JUnit file says of each case, kept as the cases finish in fixed
// memory that a watcher can read after the worker is gone: when a module
// ends the run, the file is still written, by a process the module never
// ran in.

#include <cstddef>
#include <string_view>

struct JournalEntry {
  std::size_t index;  // of the case in its file
  bool passed;
  double seconds;
  std::string_view message;
  std::string_view details;
};

struct CaseJournal {
  std::size_t length;
  char bytes[256 * 1024];
};

// Adds `entry`. Its details, then its message, are cut to what still fits,
// with "..." after them; an entry that no longer fits at all is left out.
void journal_case(CaseJournal& journal, const JournalEntry& entry);

// The entry at `offset`, which then moves past it; false after the last.
bool next_journal_entry(const CaseJournal& journal, std::size_t& offset, JournalEntry& entry);
