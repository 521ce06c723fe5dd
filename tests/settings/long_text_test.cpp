// Long lines, long values and long reports: the paths that read, scan and
// write text in large pieces must give the same bytes as reading it one
// character at a time would.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings_reader.h"
#include "settings/settings_store.h"
#include "temp_folder.h"
#include "text/text_file.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> dictionaries_of(const std::string& line) {
  SettingsStore store;
  SettingsReader().parse_settings_line(store, line);
  return store.dictionaries.to_vector();
}

// Every special character at every offset from the start of a value, so
// that it falls at each place within a group of bytes scanned together.
TEST(LongText, SpecialCharacterAtEveryOffset) {
  for (std::size_t offset = 0; offset < 12; ++offset) {
    SCOPED_TRACE(offset);
    const std::string pad(offset, 'a');
    const std::string tail(9, 'z');
    // A comma ends the value; the second byte of a two-byte character never does.
    const std::vector<std::string> split =
        offset == 0 ? std::vector<std::string>{tail} : std::vector<std::string>{pad, tail};
    EXPECT_EQ(dictionaries_of("dict:" + pad + "," + tail + "\n"), split);
    EXPECT_EQ(dictionaries_of("dict:" + pad + "\x95," + tail + "\n"),
              std::vector<std::string>{pad + "\x95," + tail});
    // A lead byte as the very last byte of the line stands alone.
    EXPECT_EQ(dictionaries_of("dict:" + tail + pad + "\x95"),
              std::vector<std::string>{tail + pad + "\x95"});
    EXPECT_EQ(dictionaries_of("dict:" + pad + "\\n" + tail + "\n"),
              std::vector<std::string>{pad + "\n" + tail});
    // Inside quotes a lead byte takes the quote after it along.
    EXPECT_EQ(dictionaries_of("dict:\"" + pad + "\x95\"," + tail + "\"\n"),
              std::vector<std::string>{pad + "\x95\"," + tail});
    EXPECT_EQ(dictionaries_of("dict:" + pad + "\x81\x81," + tail + "\n"),
              (std::vector<std::string>{pad + "\x81\x81", tail}));
  }
}

TEST(LongText, EveryKeyGetsTheValueWhenTheLastKeyTakesIt) {
  SettingsStore store;
  store_setting(store, "taken", "first");
  const std::string value(100000, 'v');
  SettingsReader().parse_settings_line(store, "a,dict,,taken,b,,:" + value + ",w\n");
  EXPECT_EQ(store.values.at("a"), value);
  EXPECT_EQ(store.values.at("b"), value);
  EXPECT_EQ(store.values.at("taken"), "first");
  EXPECT_EQ(store.dictionaries, (std::vector<std::string>{value, "w"}));
}

// A long last value may take over the line instead of being copied; what
// is stored must not differ from the plain parse.
TEST(LongText, TakingOverTheLineStoresTheSame) {
  const std::string value(70000, 'v');
  struct Row {
    std::string line;
    bool taken;
    std::size_t spare_room = 0;
  };
  const Row rows[] = {
      {"long:" + value + "\n", true},
      {"a,b: \t" + value + " \t\n", true},
      {"a:," + value, true},
      {"dict,a:" + value + "\n", true},
      {"a,dict:" + value + "\n", false},
      {"a:" + value + "\x95\n", true},  // the lead byte takes the line feed along
      {"dict:" + value + "\n", false},
      {"a,b:" + value + ",tail\n", false},
      {"a:" + value + "\"q\"\n", false},
      {"a:" + value + "\\n\n", false},
      {"a:"s + value + '\0' + "x\n", false},
      {"a:x," + value + "\n", false},
      {"taken:" + value + "\n", false},
      {"a:" + value.substr(0, 1000) + "\n", false},
      {"a:" + value + "\n", false, 4 * value.size()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line.substr(0, 12));
    SettingsStore plain;
    SettingsStore consumed;
    store_setting(plain, "taken", "first");
    store_setting(consumed, "taken", "first");
    SettingsReader reader;
    SettingsLineFacts plain_facts;
    SettingsLineFacts consumed_facts;
    SettingsLineScratch scratch;
    int plain_result = reader.parse_settings_line(plain, row.line, &plain_facts, &scratch);
    std::string line = row.line;
    line.reserve(row.spare_room);
    int consumed_result =
        reader.parse_settings_line_consuming(consumed, line, consumed_facts, scratch);
    EXPECT_EQ(consumed_result, plain_result);
    EXPECT_EQ(consumed.values, plain.values);
    EXPECT_EQ(consumed.dictionaries.to_vector(), plain.dictionaries.to_vector());
    EXPECT_EQ(consumed_facts.values, plain_facts.values);
    EXPECT_EQ(line.empty(), row.taken);
  }
}

TEST(LongText, StoringCopiesOnlyWhatItKeeps) {
  SettingsStore store;
  std::string value = "kept";
  store_setting(store, "k", value);
  store_setting(store, "dict", value);
  EXPECT_EQ(value, "kept");
  std::string moved = "second";
  store_setting(store, "k", std::move(moved));
  EXPECT_EQ(store.values.at("k"), "kept");
  EXPECT_EQ(store.dictionaries, std::vector<std::string>{"kept"});
}

TEST(LongText, ReportLargerThanOneWrite) {
  SettingsStore store;
  std::string expected;
  for (int number = 0; number < 5000; ++number) {
    std::string key = "key" + std::to_string(10000 + number);
    std::string value = number % 1000 == 0 ? std::string(100000, 'x') : "value " + key;
    store_setting(store, key, value);
  }
  for (const auto& [key, value] : store.values) expected += key + ":\t" + value + "\n";
  for (int number = 0; number < 3000; ++number) {
    std::string entry = "entry" + std::to_string(number);
    store_setting(store, "dict", entry);
    expected += entry + "\n";
  }
  std::ostringstream out;
  dump_settings(store, out);
  EXPECT_EQ(out.str(), expected);
}

class LongTextFile : public testing::Test {
 protected:
  std::string write(const std::string& bytes) {
    folder_.write("test.ini", bytes);
    return folder_.directory();
  }

  TempFolder folder_;
};

TEST_F(LongTextFile, LinesLongerThanManyChunks) {
  // Carriage returns everywhere, within and around the long lines, are
  // dropped; the line after a long one starts where it should.
  std::string long_value;
  std::string file;
  for (int piece = 0; piece < 20000; ++piece) {
    long_value += "0123456789";
    file += piece % 7 == 0 ? "\r01234\r56789" : "0123456789";
  }
  std::string directory =
      write("long:" + file + "\r\nnext:1\r\r\nlast:" + file + "\x1A" + "gone:x\n");
  SettingsStore store;
  EXPECT_EQ(SettingsReader().read_settings(store, directory), 1);
  EXPECT_EQ(store.values.size(), 3u);
  EXPECT_EQ(store.values["long"], long_value);
  EXPECT_EQ(store.values["next"], "1");
  EXPECT_EQ(store.values["last"], long_value);
}

TEST_F(LongTextFile, ManyCarriageReturnsInOneChunk) {
  std::string directory =
      write(std::string(300000, '\r') + "k:v" + std::string(100000, '\r') + "\n");
  TextFile* file = open_text_file((directory + "test.ini").c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(text_file_size(file), 400004u);
  char chunk[8];
  EXPECT_EQ(read_text_chunk(file, chunk, sizeof chunk), 4u);
  EXPECT_STREQ(chunk, "k:v\n");
  EXPECT_EQ(read_text_chunk(file, chunk, sizeof chunk), 0u);
  close_text_file(file);
}

}  // namespace
