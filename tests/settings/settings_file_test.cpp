#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "settings/settings_reader.h"
#include "settings/settings_store.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

class SettingsFile : public testing::Test {
 protected:
  void write(const char* name, const std::string& bytes) { folder_.write(name, bytes); }
  std::string dump() {
    std::ostringstream out;
    dump_settings(store_, out);
    return out.str();
  }

  TempFolder folder_;
  const fs::path& root_ = folder_.path();
  const std::string directory_ = folder_.directory();
  SettingsReader reader_;
  SettingsStore store_;
};

TEST_F(SettingsFile, TestIniWhenItOpensElseVelmarIni) {
  write("velmar.ini", "b:2\n");
  auto expect_read = [this](const char* name, const std::string& dump_text) {
    SCOPED_TRACE(name);
    std::string path = "stale";
    EXPECT_EQ(reader_.locate_settings_file(path, directory_), 1);
    EXPECT_EQ(path, directory_ + name);
    store_ = SettingsStore();
    EXPECT_EQ(reader_.read_settings(store_, directory_), 1);
    EXPECT_EQ(dump(), dump_text);
  };
  expect_read("velmar.ini", "b:\t2\n");
  fs::create_directory(root_ / "test.ini");
  expect_read("velmar.ini", "b:\t2\n");
  fs::remove(root_ / "test.ini");
  write("test.ini", "a:1\n");
  expect_read("test.ini", "a:\t1\n");
}

TEST_F(SettingsFile, NeitherFileLeavesTheStoreAlone) {
  std::string path = "stale";
  EXPECT_EQ(reader_.locate_settings_file(path, directory_), 0);
  EXPECT_EQ(path, "");
  store_setting(store_, "kept", "1");
  testing::internal::CaptureStdout();
  int result = reader_.read_settings(store_, directory_);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "don't open!!\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(dump(), "kept:\t1\n");
}

std::string long_value() {
  // Colons every ten bytes: a line cut into chunks would parse its later
  // chunks as settings of their own.
  std::string value;
  for (int i = 0; i < 295; ++i) value += i % 10 == 9 ? ':' : static_cast<char>('a' + i % 26);
  return value;
}

TEST_F(SettingsFile, FileContentToDump) {
  const struct {
    std::string file, dump;
  } rows[] = {
      {"b:2\na:1\ndict:x.txt\n", "a:\t1\nb:\t2\nx.txt\n"},
      {"k:first\nk:second\n", "k:\tfirst\n"},
      {"k,dict:x,y\n", "k:\tx\nx\ny\n"},
      {"dict:one\nDICT:two\nDict:three\n", "Dict:\tthree\none\ntwo\n"},
      {"long:" + long_value() + "\n", "long:\t" + long_value() + "\n"},
      {"a:1\nbig:" + std::string(70000, 'v') + "\nz:1\n",
       "a:\t1\nbig:\t" + std::string(70000, 'v') + "\nz:\t1\n"},
      {"#c:1\n\n\r\n\r\r\nk:v\n", "k:\tv\n"},
      {"dict:a\rb\r\nk\r1:v\r\n", "k1:\tv\nab\n"},
      {"a:1\ntail:t\x1Az:2\n", "a:\t1\ntail:\tt\n"},
      {"a:1\n\x1Az:2\n", "a:\t1\n"},
      {"x:1\nstring:hello", "string:\thello\nx:\t1\n"},
      {"  # note: x\n", "# note:\tx\n"},
      {"a:1\nab:2\nA:3\n\x80k:4\nz:5\n", "A:\t3\na:\t1\nab:\t2\nz:\t5\n\x80k:\t4\n"},
      {"string:a\\nb\n", "string:\ta\nb\n"},
      {"", ""},
      {"# only\n\n", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.file));
    write("test.ini", row.file);
    store_ = SettingsStore();
    EXPECT_EQ(reader_.read_settings(store_, directory_), 1);
    EXPECT_EQ(dump(), row.dump);
  }
}

TEST(SettingsStore, LookupNeverInserts) {
  SettingsStore store;
  EXPECT_EQ(store_setting(store, "saori", "echo"), 1);
  std::string value = "stale";
  EXPECT_EQ(get_setting(store, value, "saori"), 1);
  EXPECT_EQ(value, "echo");
  EXPECT_EQ(get_setting(store, value, "string"), 1);
  EXPECT_EQ(value, "");
  EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"saori", "echo"}}));
}

TEST(SettingsStore, DictionaryEntriesKeepTheirBoundsAndLineFeeds) {
  const std::vector<std::string> entries = {"a", "b\nc", "", std::string("d\0", 2)};
  SettingsStore store;
  store.dictionaries.reserve(3);  // smaller than needed: the block still grows
  for (const std::string& entry : entries) store_setting(store, "dict", entry);
  EXPECT_EQ(store.dictionaries, entries);
  EXPECT_EQ(store.dictionaries.to_vector(), entries);
  EXPECT_EQ(store.dictionaries[1], "b\nc");
  EXPECT_EQ(store.dictionaries.lines(), std::string("a\nb\nc\n\nd\0\n", 10));
  EXPECT_FALSE(store.dictionaries == std::vector<std::string>(entries.begin(), entries.end() - 1));
  EXPECT_FALSE(store.dictionaries == (std::vector<std::string>{"a", "b", "", "d"}));
  std::ostringstream shown;
  shown << store.dictionaries;
  EXPECT_EQ(shown.str(), R"({ "a", "b
c", "", "d)" + std::string(1, '\0') +
                             R"(" })");
}

TEST(SettingsStore, TakeMovesTheValueOutAndKeepsTheKey) {
  SettingsStore store;
  store_setting(store, "string", "hello");
  std::string value = "stale";
  EXPECT_EQ(take_setting(store, value, "string"), 1);
  EXPECT_EQ(value, "hello");
  EXPECT_EQ(take_setting(store, value, "saori"), 1);
  EXPECT_EQ(value, "");
  EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"string", ""}}));
}

}  // namespace
