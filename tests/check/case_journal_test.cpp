#include "check/case_journal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<JournalEntry> read_all(const CaseJournal& journal) {
  std::vector<JournalEntry> entries;
  std::size_t offset = 0;
  JournalEntry entry;
  while (next_journal_entry(journal, offset, entry)) entries.push_back(entry);
  return entries;
}

TEST(CaseJournal, KeepsEntriesAndCutsWhatNoLongerFits) {
  auto journal = std::make_unique<CaseJournal>();
  journal->length = 0;
  journal_case(*journal, {0, true, 0.5, "", ""});
  journal_case(*journal, {3, false, 1.25, "line 9: differs", std::string("a\0b", 3)});
  std::vector<JournalEntry> kept = read_all(*journal);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].index, 0u);
  EXPECT_TRUE(kept[0].passed);
  EXPECT_EQ(kept[0].seconds, 0.5);
  EXPECT_EQ(kept[1].index, 3u);
  EXPECT_FALSE(kept[1].passed);
  EXPECT_EQ(kept[1].message, "line 9: differs");
  EXPECT_EQ(kept[1].details, std::string_view("a\0b", 3));

  // Details larger than the room left are cut, with "..." after them; once
  // nothing fits, entries are left out and the journal still reads whole.
  std::string huge(sizeof journal->bytes, 'x');
  journal_case(*journal, {4, false, 0, "message", huge});
  journal_case(*journal, {5, false, 0, "lost", ""});
  kept = read_all(*journal);
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept[2].message, "message");
  EXPECT_EQ(kept[2].details.substr(kept[2].details.size() - 3), "...");
  EXPECT_EQ(kept[2].details.find_first_not_of('x'), kept[2].details.size() - 3);
  EXPECT_EQ(journal->length, sizeof journal->bytes);
}

}  // namespace
