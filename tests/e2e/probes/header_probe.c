/* Probe modules with a parser in front of their faults, so the end-to-end
 * tests can show the validator's fuzzer getting past the parser. Each build
 * picks its behaviour with one HEADER_PROBE_* definition.
 *
 * All but cstring_256 speak a request format of our own: a first line
 * "<COMMAND> PROBE/1.0", then "Key: value" lines, then an empty line; lines
 * end in CR LF or LF, and bytes after the empty line are ignored. Commands
 * and keys are case-sensitive. A value starts after the spaces and tabs
 * that follow the ':' and ends before those at the end of its line. The
 * reply is "refused" when the first line is not exactly a known command
 * followed by " PROBE/1.0", when a header line has no ':' or nothing before
 * it, or when the closing empty line is missing; "ok" otherwise, unless said.
 *
 * The requests that fault, in C notation, sent to a fresh module:
 *   header_word        "GET PROBE/1.0\r\nCharset: Ledger-Runic-6\r\n\r\n"
 *                      writes through a null pointer; NOTIFY does too. The
 *                      charset name stands in the image only as UTF-16LE.
 *   header_added_line  "GET PROBE/1.0\r\nArgument0: hello\r\nArgument3: \r\n\r\n"
 *                      divides by zero: any request with both a key
 *                      "Argument" + 0 and one "Argument" + 3 (decimal, so
 *                      "Argument03" counts), any values, in any order. Only
 *                      the stem "Argument" stands in the image.
 *   header_order       "CLOSE PROBE/1.0\r\n\r\n" writes through a null pointer
 *                      unless an OPEN came before it and after the last
 *                      CLOSE; OPEN replies "opened", CLOSE "closed".
 *   cstring_256        any request whose bytes before its first NUL (all of
 *                      them when there is none) number 256 or more, e.g. 256
 *                      bytes 'A': the copy and its NUL overrun a 256-byte
 *                      stack buffer, and the probe writes through a null
 *                      pointer. Other requests get that text back.
 *   three_bugs         (a) "GET PROBE/1.0\r\nArgument0:\r\n\r\n": a null write;
 *                      (b) "GET PROBE/1.0\r\nCount: 0\r\n\r\n": a divide by
 *                      zero; (c) "TEACH PROBE/1.0\r\n\r\n": an illegal
 *                      instruction. Checked in that order, one function each.
 *                      A Count that is not all digits is refused.
 *   header_counter     never faults; unload prints "accepted N of M" and a
 *                      line feed to standard error: N requests had their
 *                      first line accepted, M came.
 *   header_ok          never faults.
 *   magic_number       "GET PROBE/1.0\r\nValue: 0x5A17C0DE\r\n\r\n" writes through
 *                      a null pointer: a Value whose number, read as strtoul
 *                      reads it (decimal, 0x hexadecimal or 0 octal), is that
 *                      one, which stands nowhere in the image as text.
 *   two_words          "GET PROBE/1.0\r\nMode: 2119674654\r\n\r\n" writes
 *                      through a null pointer: the key Mode, which stands in
 *                      the image only as a four-byte number, with a value
 *                      whose number is 0x7E57AB1E; only a Mode line has its
 *                      value read.
 * Built with include/modtest/coverage.c and the compiler's coverage flags,
 * these two are found by the fuzzer; built without, they are healthy as far
 * as a fuzzer can tell. */
#include <stdio.h>
#include <string.h>

#include "modtest/module.h"

/* The sanitizers would stop a deliberate fault before it happens. */
#if defined(__clang__) && !defined(_WIN32)
#define PROBE_UNSANITIZED __attribute__((no_sanitize("undefined")))
#elif defined(__GNUC__) && !defined(_WIN32)
#define PROBE_UNSANITIZED __attribute__((no_sanitize_undefined))
#else
#define PROBE_UNSANITIZED
#endif

/* Each fault stays in a function of its own, so that the faulting
 * instructions, and the frames they are found in, differ. */
#ifdef __GNUC__
#define PROBE_NOINLINE __attribute__((noinline))
#else
#define PROBE_NOINLINE
#endif

/* The names the fuzzer is to find in the image. Each table is reached
 * through a volatile pointer: a compiler that saw the names would compare
 * against them as immediates and leave no string behind. */
#if defined(HEADER_PROBE_WORD)
#define HEADER_PROBE_COMMANDS "GET", "NOTIFY"
#define HEADER_PROBE_KEYS "Charset"
#define KEY_CHARSET 0
#elif defined(HEADER_PROBE_ADDED_LINE)
/* Only the stem stands in the image, so that the key that faults has to be
 * made from the one in the seed. */
#define HEADER_PROBE_COMMANDS "GET"
#define HEADER_PROBE_KEYS "Argument"
#define KEY_ARGUMENT 0
#elif defined(HEADER_PROBE_ORDER)
#define HEADER_PROBE_COMMANDS "OPEN", "CLOSE"
#define COMMAND_OPEN 0
#define COMMAND_CLOSE 1
#elif defined(HEADER_PROBE_THREE_BUGS)
#define HEADER_PROBE_COMMANDS "GET", "NOTIFY", "TEACH"
#define COMMAND_TEACH 2
#define HEADER_PROBE_KEYS "Argument0", "Count", "Sender"
#define KEY_ARGUMENT0 0
#define KEY_COUNT 1
#define KEY_SENDER 2
#elif defined(HEADER_PROBE_MAGIC)
#define HEADER_PROBE_COMMANDS "GET"
#define HEADER_PROBE_KEYS "Value"
#define KEY_VALUE 0
#elif defined(HEADER_PROBE_TWO_WORDS)
#define HEADER_PROBE_COMMANDS "GET"
#elif defined(HEADER_PROBE_COUNTER) || defined(HEADER_PROBE_OK)
/* Every command the faulting probes know, so that any of their seeds is a
 * healthy request here. */
#define HEADER_PROBE_COMMANDS "GET", "NOTIFY", "TEACH", "OPEN", "CLOSE"
#elif !defined(HEADER_PROBE_CSTRING)
#error "a HEADER_PROBE_* definition picks the probe's behaviour"
#endif

#ifdef HEADER_PROBE_COMMANDS
static const char* const command_table[] = {HEADER_PROBE_COMMANDS, NULL};
static const char* const* volatile commands = command_table;
static const char* volatile version_text = " PROBE/1.0";
#endif
#ifdef HEADER_PROBE_KEYS
static const char* const key_table[] = {HEADER_PROBE_KEYS, NULL};
static const char* const* volatile keys = key_table;
#endif

#if defined(HEADER_PROBE_WORD) || defined(HEADER_PROBE_CSTRING) || defined(HEADER_PROBE_MAGIC) || \
    defined(HEADER_PROBE_TWO_WORDS)
static volatile int* volatile nowhere = NULL;

static PROBE_NOINLINE PROBE_UNSANITIZED void write_through_null(void) {
  *nowhere = 1;
}
#endif

static modtest_block reply_text(const char* text, long* length) {
  *length = (long)strlen(text);
  return modtest_block_from(text, strlen(text));
}

#ifdef HEADER_PROBE_COMMANDS
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
#endif

#if defined(HEADER_PROBE_KEYS) || defined(HEADER_PROBE_TWO_WORDS)
/* Walks a parsed request's header lines: start *at at request->headers. */
static int next_header(const probe_request* request, long* at, header_line* header) {
  long line_length;
  long next;
  if (*at >= request->end ||
      !take_line(request->bytes, request->length, *at, &line_length, &next) ||
      !split_header(request->bytes + *at, line_length, header)) {
    return 0;
  }
  *at = next;
  return 1;
}
#endif

#if defined(HEADER_PROBE_MAGIC) || defined(HEADER_PROBE_TWO_WORDS)
#include <stdlib.h>

/* The value as strtoul reads it, from a copy that ends in a NUL. */
static unsigned long value_number(const header_line* header) {
  char text[64];
  size_t length = (size_t)header->value_length;
  if (length >= sizeof text) length = sizeof text - 1;
  memcpy(text, header->value, length);
  text[length] = '\0';
  return strtoul(text, NULL, 0);
}
#endif

#if defined(HEADER_PROBE_WORD) || defined(HEADER_PROBE_THREE_BUGS) || defined(HEADER_PROBE_MAGIC)
static int key_is(const header_line* header, int key) {
  return header->key_length == (long)strlen(keys[key]) &&
         memcmp(header->key, keys[key], (size_t)header->key_length) == 0;
}
#endif

#ifdef HEADER_PROBE_WORD
/* A name the fuzzer can find only among the image's UTF-16LE strings: as
 * code units, not wchar_t, whose size differs between platforms. */
static const unsigned short charset_units[] = {'L', 'e', 'd', 'g', 'e', 'r', '-', 'R',
                                               'u', 'n', 'i', 'c', '-', '6', 0};
static const unsigned short* volatile wide_charset = charset_units;

static int equals_wide(const char* value, long length, const unsigned short* units) {
  long at;
  for (at = 0; at < length; ++at) {
    if (units[at] == 0 || units[at] != (unsigned char)value[at]) return 0;
  }
  return units[length] == 0;
}

/* The table of the charset's glyphs is never filled in. */
static void set_charset(const header_line* header) {
  if (equals_wide(header->value, header->value_length, wide_charset)) write_through_null();
}

static modtest_block answer(const probe_request* request, long* length) {
  long at = request->headers;
  header_line header;
  while (next_header(request, &at, &header)) {
    if (key_is(&header, KEY_CHARSET)) set_charset(&header);
  }
  return reply_text("ok", length);
}
#endif

#ifdef HEADER_PROBE_MAGIC
/* A sentinel value nothing was meant to send, taken as a table's end. */
static modtest_block answer(const probe_request* request, long* length) {
  long at = request->headers;
  header_line header;
  while (next_header(request, &at, &header)) {
    if (key_is(&header, KEY_VALUE) && value_number(&header) == 0x5A17C0DEul) write_through_null();
  }
  return reply_text("ok", length);
}
#endif

#ifdef HEADER_PROBE_TWO_WORDS
/* A key of four bytes read as one number, as a parser in a hurry might:
 * the name is in the code, not among the image's strings. */
static unsigned int key_number(const header_line* header) {
  const unsigned char* key = (const unsigned char*)header->key;
  if (header->key_length != 4) return 0;
  return (unsigned int)key[0] | (unsigned int)key[1] << 8 | (unsigned int)key[2] << 16 |
         (unsigned int)key[3] << 24;
}

static modtest_block answer(const probe_request* request, long* length) {
  long at = request->headers;
  header_line header;
  while (next_header(request, &at, &header)) {
    /* "Mode" */
    if (key_number(&header) == 0x65646F4Du && value_number(&header) == 0x7E57AB1Eul) {
      write_through_null();
    }
  }
  return reply_text("ok", length);
}
#endif

#if defined(HEADER_PROBE_ADDED_LINE) || defined(HEADER_PROBE_THREE_BUGS)
static volatile unsigned long quotient;

static PROBE_NOINLINE PROBE_UNSANITIZED void divide(unsigned long dividend, unsigned long divisor) {
  volatile unsigned long by = divisor;
  quotient = dividend / by;
}

/* Decimal digits only, at least one; -1 otherwise. Large numbers stop
 * growing, as no count or index here gets near them. */
static long parse_number(const char* text, long length) {
  long value = 0;
  long at;
  if (length == 0) return -1;
  for (at = 0; at < length; ++at) {
    if (text[at] < '0' || text[at] > '9') return -1;
    if (value < 1000000L) value = value * 10 + (text[at] - '0');
  }
  return value;
}
#endif

#ifdef HEADER_PROBE_ADDED_LINE
/* The number after the "Argument" stem, or -1 for any other key. */
static long argument_number(const header_line* header) {
  long stem = (long)strlen(keys[KEY_ARGUMENT]);
  if (header->key_length <= stem || memcmp(header->key, keys[KEY_ARGUMENT], (size_t)stem) != 0) {
    return -1;
  }
  return parse_number(header->key + stem, header->key_length - stem);
}

/* Room for a fourth argument was made, but its weight is never set. */
static volatile unsigned long fourth_weight;

static modtest_block answer(const probe_request* request, long* length) {
  long at = request->headers;
  header_line header;
  int has_first = 0;
  int has_fourth = 0;
  long lines = 0;
  while (next_header(request, &at, &header)) {
    long number = argument_number(&header);
    ++lines;
    if (number == 0) has_first = 1;
    if (number == 3) has_fourth = 1;
  }
  if (has_first && has_fourth) divide((unsigned long)lines, fourth_weight);
  return reply_text("ok", length);
}
#endif

#ifdef HEADER_PROBE_ORDER
/* The session record exists only between OPEN and CLOSE; CLOSE does not
 * check that it does. */
static volatile int session_slot;
static volatile int* volatile session;

static PROBE_NOINLINE PROBE_UNSANITIZED void close_session(void) {
  *session = 0;
  session = NULL;
}

static modtest_block answer(const probe_request* request, long* length) {
  if (request->command == COMMAND_OPEN) {
    session = &session_slot;
    *session = 1;
    return reply_text("opened", length);
  }
  close_session();
  return reply_text("closed", length);
}
#endif

#ifdef HEADER_PROBE_THREE_BUGS
/* An empty argument gets no place to be kept in. */
static PROBE_NOINLINE PROBE_UNSANITIZED void keep_argument(const header_line* header) {
  static char kept[64];
  volatile char* volatile place = header->value_length > 0 ? kept : NULL;
  place[0] = header->value_length > 0 ? header->value[0] : '\0';
}

/* Shares out a hundred among the count, which nothing stops being 0. */
static PROBE_NOINLINE void share_out(long count) {
  divide(100, (unsigned long)count);
}

/* A lesson is taken to always have a sender. */
static PROBE_NOINLINE void teach(int has_sender) {
  if (!has_sender) __builtin_trap();
}

static modtest_block answer(const probe_request* request, long* length) {
  long at = request->headers;
  header_line header;
  header_line argument = {NULL, 0, NULL, 0};
  long count = -1;
  int has_argument = 0;
  int has_sender = 0;
  while (next_header(request, &at, &header)) {
    if (key_is(&header, KEY_ARGUMENT0)) {
      argument = header;
      has_argument = 1;
    } else if (key_is(&header, KEY_COUNT)) {
      count = parse_number(header.value, header.value_length);
      if (count < 0) return reply_text("refused", length);
    } else if (key_is(&header, KEY_SENDER)) {
      has_sender = 1;
    }
  }
  if (has_argument) keep_argument(&argument);
  if (count >= 0) share_out(count);
  if (request->command == COMMAND_TEACH) teach(has_sender);
  return reply_text("ok", length);
}
#endif

#ifdef HEADER_PROBE_COUNTER
static long accepted;
static long total;
#endif

#ifdef HEADER_PROBE_CSTRING
/* The guard's bytes are no text and hold no NUL, so that an overrun ending
 * in a NUL always changes one of them. */
static const unsigned char guard_bytes[8] = {0xC5, 0x9E, 0xB1, 0xF3, 0x8D, 0xE6, 0xA9, 0xD4};

typedef struct {
  char text[256];
  volatile unsigned char guard[8];
} text_frame;

/* The request as a C string: cut at its first NUL, and at the size of this
 * buffer, the most the module reads of any request. */
static char request_text[16 * 1024];

static void take_text(const char* bytes, long length) {
  const char* nul = (const char*)memchr(bytes, '\0', (size_t)length);
  long size = nul != NULL ? (long)(nul - bytes) : length;
  if (size > (long)sizeof request_text - 1) size = (long)sizeof request_text - 1;
  memcpy(request_text, bytes, (size_t)size);
  request_text[size] = '\0';
}

/* Copies the text into a buffer of 256 bytes, the way a module written for
 * short ones would. The guard after the buffer makes the overrun fault where
 * no stack protector is there to. */
static PROBE_NOINLINE PROBE_UNSANITIZED modtest_block copy_text(long* length) {
  text_frame frame;
  char* volatile buffer = frame.text;
  const char* from = request_text;
  char* to;
  int at;
  for (at = 0; at < 8; ++at) frame.guard[at] = guard_bytes[at];
  to = buffer;
  while ((*to++ = *from++) != '\0') continue;
  for (at = 0; at < 8; ++at) {
    if (frame.guard[at] != guard_bytes[at]) write_through_null();
  }
  return reply_text(frame.text, length);
}

/* Stack for the longest overrun to spend itself in, between the copy and
 * the host's frames: a fault taken with those frames overwritten does not
 * reach the host's handler on Windows, nor under Wine. */
static PROBE_NOINLINE modtest_block copy_with_room(long* length) {
  volatile char room[2 * sizeof request_text];
  modtest_block reply;
  room[0] = 0;
  reply = copy_text(length);
  room[sizeof room - 1] = 0;
  return reply;
}
#endif

MODTEST_API int MODTEST_CALL load(modtest_block directory, long length) {
  (void)length;
  modtest_free_block(directory);
#ifdef HEADER_PROBE_ORDER
  session = NULL;
#endif
#ifdef HEADER_PROBE_COUNTER
  accepted = 0;
  total = 0;
#endif
  return 1;
}

MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length) {
  modtest_block reply;
#ifdef HEADER_PROBE_CSTRING
  take_text(modtest_block_bytes(block), *length);
  reply = copy_with_room(length);
#else
  probe_request parsed;
  int well_formed = parse_request(modtest_block_bytes(block), *length, &parsed);
#ifdef HEADER_PROBE_COUNTER
  ++total;
  if (parsed.command >= 0) ++accepted;
#endif
  if (!well_formed) {
    reply = reply_text("refused", length);
  } else {
#if defined(HEADER_PROBE_COUNTER) || defined(HEADER_PROBE_OK)
    reply = reply_text("ok", length);
#else
    reply = answer(&parsed, length);
#endif
  }
#endif
  modtest_free_block(block);
  return reply;
}

MODTEST_API int MODTEST_CALL unload(void) {
#ifdef HEADER_PROBE_COUNTER
  fprintf(stderr, "accepted %ld of %ld\n", accepted, total);
#endif
  return 1;
}
