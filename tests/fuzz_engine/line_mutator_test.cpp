#include "fuzz_engine/line_mutator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz_engine/mutation_values.h"
#include "fuzz_engine/request_mutator.h"
#include "fuzz_engine/word_mutator.h"

namespace {

const std::vector<std::string> kSeeds = {
    "CMD THING 1.0\r\nCharset: UTF-8\r\nSender: x\r\nArgument0: hello\r\n\r\n",
    "CMD THING 1.0\nCharset: UTF-8\nSender: x\nArgument0: hello\n\n"};
const std::vector<std::string> kDictionary = {"NOTIFY", "Status", "%s%n", "\xEF\xBB\xBF"};

bool in_dictionary(const std::string& word) {
  return std::find(kDictionary.begin(), kDictionary.end(), word) != kDictionary.end();
}
bool is_number(const std::string& text) {
  return std::find(std::begin(kInterestingNumbers), std::end(kInterestingNumbers), text) !=
         std::end(kInterestingNumbers);
}

std::string end_of(const std::string& request) {
  return request.find('\r') != std::string::npos ? "\r\n" : "\n";
}
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string end = end_of(text);
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(end, at)) != std::string::npos;
       at = found + end.size()) {
    lines.push_back(text.substr(at, found - at));
  }
  lines.push_back(text.substr(at));
  return lines;
}
// The lines between the first line and the closing empty line.
std::vector<std::string> middle(const std::string& request) {
  std::vector<std::string> lines = lines_of(request);
  return std::vector<std::string>(lines.begin() + 1,
                                  lines.end() - std::min<std::size_t>(2, lines.size() - 1));
}
std::string key_of(const std::string& line) {
  return line.substr(0, line.find(':'));
}
std::string value_of(const std::string& line) {
  return line.substr(line.find(": ") + 2);
}

// The line that `longer` has and `shorter` lacks, when that is the only change.
std::optional<std::string> one_more(const std::vector<std::string>& longer,
                                    const std::vector<std::string>& shorter) {
  for (std::size_t i = 0; i < longer.size(); ++i) {
    std::vector<std::string> rest = longer;
    rest.erase(rest.begin() + i);
    if (rest == shorter) return longer[i];
  }
  return std::nullopt;
}

using InPart = bool (*)(const std::string& text, std::size_t at);
bool in_word(const std::string& text, std::size_t at) {
  return !is_word_separator(text[at]);
}
bool in_number(const std::string& text, std::size_t at) {
  auto digit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };
  return digit(at) || (text[at] == '-' && digit(at + 1));
}
// `text` with each run of bytes in a part as '#'; the runs go to `parts`.
std::string parts_out(const std::string& text, InPart in_part, std::vector<std::string>& parts) {
  std::string skeleton;
  for (std::size_t at = 0; at < text.size(); ++at) {
    bool part = in_part(text, at);
    if (part && (at == 0 || !in_part(text, at - 1))) parts.emplace_back(), skeleton += '#';
    if (part)
      parts.back() += text[at];
    else
      skeleton += text[at];
  }
  return skeleton;
}
// Whether `after` is `before` with at most one part changed, into one that `fits`.
bool one_part_changed(const std::string& before, const std::string& after, InPart in_part,
                      bool (*fits)(const std::string&)) {
  std::vector<std::string> old_parts, new_parts;
  if (parts_out(before, in_part, old_parts) != parts_out(after, in_part, new_parts)) return false;
  int changed = 0;
  for (std::size_t i = 0; i < old_parts.size(); ++i) {
    if (old_parts[i] != new_parts[i]) changed += fits(new_parts[i]) ? 1 : 2;
  }
  return changed <= 1;
}

struct Case {
  Mutation kind;
  // Whether the first line and the closing empty line stay as they were.
  bool keeps_first, keeps_closing;
  bool (*did)(const std::string& before, const std::string& after);
};

const Case kCases[] = {
    {Mutation::kReplaceValue, true, true,
     [](auto& b, auto& a) {
       auto old_lines = middle(b), new_lines = middle(a);
       int changed = 0;
       for (std::size_t i = 0; i < old_lines.size() && old_lines.size() == new_lines.size(); ++i) {
         std::string value = value_of(new_lines[i]);
         bool run = !value.empty() && value.find_first_not_of(value[0]) == std::string::npos;
         bool fits = in_dictionary(value) || is_number(value) || value.empty() || run;
         if (old_lines[i] != new_lines[i])
           changed += fits && key_of(old_lines[i]) == key_of(new_lines[i]) ? 1 : 2;
       }
       return old_lines.size() == new_lines.size() && changed == 1;
     }},
    {Mutation::kAddLine, true, true,
     [](auto& b, auto& a) {
       std::optional<std::string> line = one_more(middle(a), middle(b));
       if (!line) return false;
       std::string key = key_of(*line), value = value_of(*line);
       bool numbered = key.rfind("Argument", 0) == 0 && key.size() > 8 && key != "Argument0" &&
                       key.find_first_not_of("0123456789", 8) == std::string::npos;
       bool seed_word = !value.empty() && kSeeds[0].find(value) != std::string::npos;
       return (in_dictionary(key) || key == "Charset" || key == "Sender" || numbered) &&
              (in_dictionary(value) || is_number(value) || seed_word);
     }},
    {Mutation::kDeleteLine, true, true,
     [](auto& b, auto& a) { return one_more(middle(b), middle(a)).has_value(); }},
    {Mutation::kDuplicateLine, true, true,
     [](auto& b, auto& a) {
       std::vector<std::string> old_lines = middle(b);
       std::optional<std::string> line = one_more(middle(a), old_lines);
       return line && std::count(old_lines.begin(), old_lines.end(), *line) == 1;
     }},
    {Mutation::kSwapLines, true, true,
     [](auto& b, auto& a) {
       auto old_lines = middle(b), new_lines = middle(a);
       bool moved = old_lines != new_lines;
       std::sort(old_lines.begin(), old_lines.end());
       std::sort(new_lines.begin(), new_lines.end());
       return moved && old_lines == new_lines;
     }},
    {Mutation::kChangeClosingLine, true, false,
     [](auto& b, auto& a) {
       std::string end = end_of(b);
       return a == b + end || a == b.substr(0, b.size() - end.size());
     }},
    {Mutation::kReplaceFirstLineWord, false, true,
     [](auto& b, auto& a) {
       return middle(b) == middle(a) &&
              one_part_changed(lines_of(b)[0], lines_of(a)[0], in_word, in_dictionary);
     }},
    {Mutation::kReplaceNumber, false, true,
     [](auto& b, auto& a) { return one_part_changed(b, a, in_number, is_number); }},
    {Mutation::kReplaceWord, false, true,
     [](auto& b, auto& a) { return one_part_changed(b, a, in_word, in_dictionary); }},
    // At the very end a word goes after the closing line.
    {Mutation::kInsertWord, false, false,
     [](auto& b, auto& a) {
       for (const std::string& word : kDictionary) {
         for (std::size_t at = a.find(word); at != std::string::npos; at = a.find(word, at + 1)) {
           std::string rest = a.substr(0, at) + a.substr(at + word.size());
           if (rest == b ||
               (at > 0 && is_word_separator(a[at - 1]) && rest.erase(at - 1, 1) == b)) {
             return true;
           }
         }
       }
       return false;
     }},
};

TEST(LineMutatorTest, EachKindKeepsLineEndsFirstLineAndClosingLine) {
  RequestMutator mutator(21);
  mutator.set_dictionary(&kDictionary);
  for (const Case& c : kCases) {
    for (const std::string& seed : kSeeds) {
      std::string end = end_of(seed);
      for (int i = 0; i < 300; ++i) {
        std::string request = seed;
        ASSERT_TRUE(mutator.apply(c.kind, request, kSeeds)) << static_cast<unsigned>(c.kind);
        SCOPED_TRACE(static_cast<unsigned>(c.kind));
        SCOPED_TRACE(request);
        // Every LF in a CR LF, or no CR at all.
        std::vector<std::string> lines = lines_of(request);
        std::size_t line_feeds = std::count(request.begin(), request.end(), '\n');
        ASSERT_TRUE(end == "\n" ? request.find('\r') == std::string::npos
                                : lines.size() - 1 == line_feeds);
        ASSERT_TRUE(!c.keeps_first || lines[0] == lines_of(seed)[0]);
        ASSERT_TRUE(!c.keeps_closing ||
                    request.substr(request.size() - 2 * end.size()) == end + end);
        ASSERT_TRUE(c.did(seed, request));
      }
    }
  }
}

TEST(LineMutatorTest, AddedKeysRenumberSeedKeysAndValuesTakeEveryForm) {
  RequestMutator mutator(5);
  mutator.set_dictionary(&kDictionary);
  const std::vector<std::string> old_lines = middle(kSeeds[0]);
  std::set<std::string> keys, forms;
  for (int i = 0; i < 2000; ++i) {
    std::string request = kSeeds[0];
    mutator.apply(Mutation::kAddLine, request, kSeeds);
    keys.insert(key_of(one_more(middle(request), old_lines).value_or("")));
    request = kSeeds[0];
    mutator.apply(Mutation::kReplaceValue, request, kSeeds);
    for (const std::string& line : middle(request)) {
      std::string value = value_of(line);
      if (std::count(old_lines.begin(), old_lines.end(), line) > 0) continue;
      forms.insert(in_dictionary(value) ? "word"
                   : is_number(value)   ? "number"
                   : value.empty()      ? "empty"
                                        : "run");
    }
  }
  for (const char* key : {"Argument1", "Argument9", "Argument10", "Argument255", "NOTIFY"}) {
    EXPECT_EQ(keys.count(key), 1u) << key;
  }
  EXPECT_EQ(keys.count("Argument0"), 0u);
  EXPECT_EQ(forms.size(), 4u);
}

TEST(LineMutatorTest, WithoutShapeOrDictionaryTheKindsThatNeedThemChangeNothing) {
  RequestMutator mutator(2);
  const std::string plain = "name,value\r\n";
  for (unsigned kind = static_cast<unsigned>(Mutation::kInsertWord);
       kind < static_cast<unsigned>(Mutation::kCount); ++kind) {
    std::string request = plain;
    EXPECT_FALSE(mutator.apply(static_cast<Mutation>(kind), request, kSeeds)) << kind;
    EXPECT_EQ(request, plain);
  }
  std::string shaped = kSeeds[0];
  EXPECT_FALSE(mutator.apply(Mutation::kReplaceFirstLineWord, shaped, kSeeds));
  EXPECT_EQ(shaped, kSeeds[0]);
}

// The share of requests a line-parsing module reads past the first line: the
// seeds' first line, or it with a dictionary word in it, and the closing line.
TEST(LineMutatorTest, MostMutatedRequestsKeepTheirShape) {
  const std::string first = "CMD THING 1.0";
  RequestMutator mutator(1);
  mutator.set_dictionary(&kDictionary);
  std::string request;
  unsigned kinds = 0;
  int kept = 0, long_ones = 0;
  const int calls = 10000;
  for (int i = 0; i < calls; ++i) {
    kinds |= mutator.mutate(request, kSeeds);
    std::string end = end_of(request.substr(0, request.find('\n') + 1));
    std::string line = request.substr(0, request.find(end));
    bool first_kept = one_part_changed(first, line, in_word, in_dictionary);
    for (const std::string& word : kDictionary) {
      std::size_t at = line.find(" " + word);
      first_kept |=
          at != std::string::npos && std::string(line).erase(at, 1 + word.size()) == first;
    }
    std::size_t closing = request.size() - std::min(request.size(), 2 * end.size());
    kept += first_kept && request.compare(closing, std::string::npos, end + end) == 0;
    long_ones += request.size() > 1024;
  }
  double share = static_cast<double>(kept) / calls;
  std::printf("kept the first line and the closing line: %.1f%%\n", 100 * share);
  EXPECT_GE(share, 0.6);
  EXPECT_LT(long_ones, calls / 20);
  EXPECT_EQ(kinds, (1u << static_cast<unsigned>(Mutation::kCount)) - 1);
}

TEST(LineMutatorTest, TheCapHoldsWithoutReallocating) {
  RequestMutator mutator(8, 120);
  mutator.set_dictionary(&kDictionary);
  std::string request;
  mutator.mutate(request, kSeeds);
  const char* bytes = request.data();
  std::size_t longest = 0;
  for (int i = 0; i < 5000; ++i) {
    mutator.mutate(request, kSeeds);
    longest = std::max(longest, request.size());
    ASSERT_EQ(request.data(), bytes) << i;
  }
  EXPECT_EQ(longest, 120u);
}

}  // namespace
