#include "driver/program_directory.h"

#include <gtest/gtest.h>

TEST(ProgramDirectoryTest, KeepsEverythingUpToTheLastSeparator) {
  struct Row {
    const char* path;
    char separator;
    const char* directory;
  };
  const Row rows[] = {
      {"/opt/tools/modtest", '/', "/opt/tools/"},
      {"/modtest", '/', "/"},
      {"modtest", '/', ""},
      {"C:\\tools\\plugins\\modtest.exe", '\\', "C:\\tools\\plugins\\"},
      {"C:\\tools/sub/modtest.exe", '\\', "C:\\"},  // only the platform's separator counts
      {"", '/', ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(directory_of(row.path, row.separator), row.directory) << row.path;
  }
}

TEST(ProgramDirectoryTest, IsTheFolderOfTheRunningExecutable) {
  std::string directory;
  EXPECT_EQ(get_program_directory(directory), 1);
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '/');
  // The test binary lives in the build tree's tests folder.
  EXPECT_NE(directory.find("/tests/"), std::string::npos) << directory;
}
