/* Probe modules with a parser in front of their faults, so the end-to-end
 * tests can show the validator's fuzzer getting past the parser. Each build
 * picks its behaviour with one HEADER_PROBE_* definition.
 *
 * They speak a request format of our own: a first line
 * "<COMMAND> PROBE/1.0", then "Key: value" lines, then an empty line; lines
 * end in CR LF or LF, and bytes after the empty line are ignored. Commands
 * and keys are case-sensitive. A value starts after the spaces and tabs
 * that follow the ':' and ends before those at the end of its line. The
 * reply is "refused" when the first line is not exactly a known command
 * followed by " PROBE/1.0", when a header line has no ':' or nothing before
 * it, or when the closing empty line is missing; "ok" otherwise, unless said.
 *
 *   header_counter     never faults; unload prints "accepted N of M" and a
 *                      line feed to standard error: N requests had their
 *                      first line accepted, M came.
 *   header_ok          never faults. */
#include <stdio.h>
#include <string.h>

#include "modtest/module.h"

/* The names the fuzzer is to find in the image. Each table is reached
 * through a volatile pointer: a compiler that saw the names would compare
 * against them as immediates and leave no string behind. */
#if defined(HEADER_PROBE_COUNTER) || defined(HEADER_PROBE_OK)
/* Every command the faulting probes know, so that any of their seeds is a
 * healthy request here. */
#define HEADER_PROBE_COMMANDS "GET", "NOTIFY", "TEACH", "OPEN", "CLOSE"
#else
#error "a HEADER_PROBE_* definition picks the probe's behaviour"
#endif

static const char* const command_table[] = {HEADER_PROBE_COMMANDS, NULL};
static const char* const* volatile commands = command_table;
static const char* volatile version_text = " PROBE/1.0";

static modtest_block reply_text(const char* text, long* length) {
  *length = (long)strlen(text);
  return modtest_block_from(text, strlen(text));
}

typedef struct {
  const char* bytes;
  long length;
  int command; /* index in command_table */
  long headers;
  long end; /* where the closing empty line starts */
} probe_request;

typedef struct {
  const char* key;
  long key_length;
  const char* value;
  long value_length;
} header_line;

/* A line with no line end after it is cut off, so it is no line: 0. */
static int take_line(const char* bytes, long length, long at, long* line_length, long* next) {
  const char* feed = (const char*)memchr(bytes + at, '\n', (size_t)(length - at));
  if (feed == NULL) return 0;
  *line_length = (long)(feed - (bytes + at));
  if (*line_length > 0 && feed[-1] == '\r') --*line_length;
  *next = (long)(feed - bytes) + 1;
  return 1;
}

static int match_command(const char* line, long line_length) {
  const char* version = version_text;
  long version_length = (long)strlen(version);
  int at;
  for (at = 0; commands[at] != NULL; ++at) {
    long name_length = (long)strlen(commands[at]);
    if (line_length == name_length + version_length &&
        memcmp(line, commands[at], (size_t)name_length) == 0 &&
        memcmp(line + name_length, version, (size_t)version_length) == 0) {
      return at;
    }
  }
  return -1;
}

static int is_blank(char c) {
  return c == ' ' || c == '\t';
}

static int split_header(const char* line, long line_length, header_line* header) {
  const char* colon = (const char*)memchr(line, ':', (size_t)line_length);
  const char* end = line + line_length;
  const char* value;
  if (colon == NULL || colon == line) return 0;
  value = colon + 1;
  while (value < end && is_blank(*value)) ++value;
  while (end > value && is_blank(end[-1])) --end;
  header->key = line;
  header->key_length = (long)(colon - line);
  header->value = value;
  header->value_length = (long)(end - value);
  return 1;
}

static int parse_request(const char* bytes, long length, probe_request* request) {
  long line_length;
  long next;
  long at;
  header_line header;
  request->bytes = bytes;
  request->length = length;
  request->command = -1;
  if (!take_line(bytes, length, 0, &line_length, &next)) return 0;
  request->command = match_command(bytes, line_length);
  if (request->command < 0) return 0;
  request->headers = next;
  for (at = next;; at = next) {
    if (!take_line(bytes, length, at, &line_length, &next)) return 0;
    if (line_length == 0) {
      request->end = at;
      return 1;
    }
    if (!split_header(bytes + at, line_length, &header)) return 0;
  }
}

#ifdef HEADER_PROBE_COUNTER
static long accepted;
static long total;
#endif

MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
  modtest_free_block(directory);
#ifdef HEADER_PROBE_COUNTER
  accepted = 0;
  total = 0;
#endif
  return 1;
}

MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  modtest_block reply;
  probe_request parsed;
  int well_formed = parse_request(modtest_block_bytes(block), *length, &parsed);
#ifdef HEADER_PROBE_COUNTER
  ++total;
  if (parsed.command >= 0) ++accepted;
#endif
  reply = reply_text(well_formed ? "ok" : "refused", length);
  modtest_free_block(block);
  return reply;
}

MODTEST_API int MODTEST_CALL unload(void) {
#ifdef HEADER_PROBE_COUNTER
  fprintf(stderr, "accepted %ld of %ld\n", accepted, total);
#endif
  return 1;
}
