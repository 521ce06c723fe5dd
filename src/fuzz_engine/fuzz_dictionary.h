#pragma once

// Words for the fuzzer to put into requests. A module compares what it reads
// against words of its own, so the words come from the seeds, from a list the
// user gives and from the strings kept in the module's file.

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// Words in the order first added, each once, and at most kMostWords of them:
// what is added first is what is kept. The same words in the same order on
// every platform.
class FuzzDictionary {
 public:
  // A few thousand words already leave each one drawn seldom; more would
  // only dilute the ones that matter.
  static constexpr std::size_t kMostWords = 4096;
  // A printable run of the file longer than this is prose, a message or a
  // table, not a word a module compares against; its pieces would crowd out
  // the ones that are.
  static constexpr std::size_t kLongestFileWord = 64;

  // Adds `word` unless it is empty, held already or the dictionary is full.
  void add_word(std::string_view word);
  void add_words(const std::vector<std::string>& words);
  // Adds the pieces of each seed between blanks, ':', ',', '=', CR and LF.
  void add_seed_words(const std::vector<std::string>& seeds);
  // Adds the words of a module file's data sections (find_data_sections),
  // read-only ones first, or of the whole file when it has none: each run of 2 to kLongestFileWord
  // printable bytes, or of printable UTF-16LE code units taken as single
  // bytes, and the pieces of a run between blanks, ':', ',' and '='. A run or
  // piece of only 2 bytes is kept only when it holds a letter, since most are
  // chance bytes of numbers and addresses.
  void add_image_words(std::string_view image);

  bool full() const { return words_.size() >= kMostWords; }
  const std::vector<std::string>& words() const { return words_; }

 private:
  void add_text_runs(std::string_view bytes);
  void add_run(std::string_view run);

  std::vector<std::string> words_;
  std::set<std::string, std::less<>> held_;
};

// The seeds' words, which matter most, then the words of `listed`, then those
// of the module file `image`.
FuzzDictionary build_fuzz_dictionary(const std::vector<std::string>& seeds,
                                     const std::vector<std::string>& listed,
                                     std::string_view image);
