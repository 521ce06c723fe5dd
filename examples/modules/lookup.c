/* A module that keeps data beside itself: on load it reads lookup.txt from
 * its own folder, and it answers a request with the value stored under the
 * request text. Copy it to start a module that needs files of its own.
 *
 * lookup.txt holds key=value lines. Lines starting with '#' and lines
 * without '=' are skipped; a carriage return before the line feed is
 * dropped, so the file may have Windows line ends. A key that is not in the
 * file gets an empty reply. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "modtest/module.h"

#define DATA_FILE "lookup.txt"

/* The whole data file stays in memory; `entries` points into it. */
struct entry {
  const char* key;
  const char* value;
};

static char* data;
static struct entry* entries;
static size_t entry_count;

static void forget_data(void) {
  free(entries);
  free(data);
  entries = NULL;
  data = NULL;
  entry_count = 0;
}

/* Reads the whole file into `data` (with a NUL after it); 0 on failure. */
static int read_data_file(const char* path) {
  FILE* file = fopen(path, "rb");
  long size;
  if (file == NULL) return 0;
  if (fseek(file, 0, SEEK_END) != 0 || (size = ftell(file)) < 0 || fseek(file, 0, SEEK_SET) != 0 ||
      (data = malloc((size_t)size + 1)) == NULL) {
    fclose(file);
    return 0;
  }
  if (fread(data, 1, (size_t)size, file) != (size_t)size) {
    fclose(file);
    return 0;
  }
  data[size] = '\0';
  fclose(file);
  return 1;
}

/* Cuts `data` into lines in place and records every key=value line. */
static int index_data(void) {
  size_t lines = 1;
  char* line;
  for (line = data; *line != '\0'; ++line) lines += *line == '\n';
  entries = malloc(lines * sizeof *entries);
  if (entries == NULL) return 0;
  for (line = data; line != NULL && *line != '\0';) {
    char* end = strchr(line, '\n');
    char* next = end != NULL ? end + 1 : NULL;
    char* equals;
    if (end == NULL) end = line + strlen(line);
    if (end > line && end[-1] == '\r') --end;
    *end = '\0';
    equals = strchr(line, '=');
    if (line[0] != '#' && equals != NULL) {
      *equals = '\0';
      entries[entry_count].key = line;
      entries[entry_count].value = equals + 1;
      ++entry_count;
    }
    line = next;
  }
  return 1;
}

/* `directory` is this module's own folder, ending in its separator ('\' on
 * Windows, '/' on Linux) and without a NUL: exactly where lookup.txt lies. */
MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  char* path = malloc((size_t)length + sizeof DATA_FILE);
  int loaded = 0;
  if (path != NULL) {
    memcpy(path, modtest_block_bytes(directory), (size_t)length);
    memcpy(path + length, DATA_FILE, sizeof DATA_FILE);
    loaded = read_data_file(path) && index_data();
    free(path);
  }
  modtest_free_block(directory);
  if (!loaded) forget_data();
  /* Anything but 1 makes modtest report that the module did not load. */
  return loaded ? 1 : 0;
}

/* The request text is the key; it has no NUL of its own, so it is compared
 * by its length. */
MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  const char* key = modtest_block_bytes(block);
  size_t key_length = (size_t)*length;
  const char* value = "";
  size_t i;
  modtest_block reply;
  for (i = 0; i < entry_count; ++i) {
    if (strlen(entries[i].key) == key_length && memcmp(entries[i].key, key, key_length) == 0) {
      value = entries[i].value;
      break;
    }
  }
  modtest_free_block(block);
  reply = modtest_block_from(value, strlen(value));
  *length = reply != NULL ? (long)strlen(value) : 0;
  return reply;
}

MODTEST_API int MODTEST_CALL unload(void) {
  forget_data();
  return 1;
}
