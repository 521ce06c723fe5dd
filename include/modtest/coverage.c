/* Coverage for modtest's fuzzer, compiled into a fuzzing build of a module.
 *
 * With this file in the module, and the module built with the compiler's
 * coverage instrumentation, `modtest --validate` sees which requests reach
 * new code and which comparisons the module made, keeps every request that
 * reached new edges and mutates from those, and puts the numbers and
 * strings the module compared against into its requests. Build lines (the
 * module's own sources in place of module.c; see docs/manual.md):
 *
 *   gcc:    gcc -shared -fPIC -O1 -fsanitize-coverage=trace-pc,trace-cmp
 *               module.c coverage.c -o module.so
 *   clang:  clang -shared -fPIC -O1
 *               -fsanitize-coverage=inline-8bit-counters,trace-cmp
 *               module.c coverage.c -o module.so
 *   MinGW:  x86_64-w64-mingw32-gcc (or i686-w64-mingw32-gcc) -shared -O1
 *               -fsanitize-coverage=trace-pc,trace-cmp module.c coverage.c
 *               -o module.dll -static-libgcc
 *   MSVC:   cl /c coverage.c   (without the coverage flag)
 *           cl /LD /fsanitize-coverage=inline-8bit-counters
 *               /fsanitize-coverage=trace-cmp module.c coverage.obj
 *
 * This file is never instrumented itself: its functions carry the
 * attribute that says so where the compiler has one (gcc 12 and later,
 * clang 13 and later). With an older compiler, or MSVC, compile it on its
 * own without the coverage flag, as the MSVC line does. It needs nothing but
 * the C library's <stddef.h>, builds as C89, later C and C++, and keeps no
 * state but fixed arrays: a module built with it runs as before without
 * modtest.
 *
 * What the host reads: one more export, modtest_coverage, returns the
 * address of a struct modtest_coverage_view (below), the same on every
 * call. Its first field is the layout's version, MODTEST_COVERAGE_VERSION;
 * a host that knows no such version ignores the rest. The host reads the
 * counters and the operands between two requests, on the thread that sent
 * them, and sets the counters it read back to zero.
 *
 * Edges come in one of two ways. trace-pc (gcc, MinGW): each basic block
 * calls __sanitizer_cov_trace_pc; the block's address and the one before it
 * are hashed into edge_map, one 8-bit counter per slot, and the first count
 * of a slot since the host cleared it adds its index to `touched`, so that
 * the host reads only those. inline-8bit-counters (clang, MSVC): the
 * compiler counts each edge in arrays of its own and hands their ranges to
 * __sanitizer_cov_8bit_counters_init; `counter_ranges` lists them. A
 * counter never wraps back to zero.
 *
 * Operands: trace-cmp calls __sanitizer_cov_trace_cmp* and
 * __sanitizer_cov_trace_const_cmp* with both sides of each integer
 * comparison, and __sanitizer_cov_trace_switch with a switch's value and
 * cases. Those that differ are written to a ring of MODTEST_COVERAGE_OPERANDS
 * entries; operands_written counts every entry ever written, so the host
 * reads the ones since it last looked. When a sanitizer's runtime calls the
 * weak hooks of memcmp, strncmp and strcmp, the strings of a comparison that
 * failed are kept the same way, up to MODTEST_COVERAGE_TEXT bytes each. */
#include <stddef.h>

#ifdef _MSC_VER
#include <intrin.h>
#pragma intrinsic(_ReturnAddress)
#define MODTEST_COVERAGE_CALLER ((size_t)_ReturnAddress())
typedef unsigned __int64 modtest_coverage_u64;
#else
#define MODTEST_COVERAGE_CALLER ((size_t)__builtin_return_address(0))
#if defined(__LP64__)
typedef unsigned long modtest_coverage_u64; /* the type gcc declares the callbacks with */
#else
__extension__ typedef unsigned long long modtest_coverage_u64;
#endif
#endif

#ifdef _WIN32
#define MODTEST_COVERAGE_EXPORT __declspec(dllexport)
#elif defined(__GNUC__)
#define MODTEST_COVERAGE_EXPORT __attribute__((visibility("default")))
#else
#define MODTEST_COVERAGE_EXPORT
#endif

/* A callback of the instrumentation must not be instrumented itself: it
 * would call itself. */
#if defined(__has_attribute)
#if __has_attribute(no_sanitize_coverage)
#define MODTEST_COVERAGE_UNTRACED __attribute__((no_sanitize_coverage))
#elif defined(__clang__) && __has_attribute(no_sanitize)
#define MODTEST_COVERAGE_UNTRACED __attribute__((no_sanitize("coverage")))
#endif
#endif
#ifndef MODTEST_COVERAGE_UNTRACED
#define MODTEST_COVERAGE_UNTRACED
#endif

#define MODTEST_COVERAGE_VERSION 1
#define MODTEST_COVERAGE_EDGES 8192  /* slots of edge_map: a power of two */
#define MODTEST_COVERAGE_OPERANDS 64 /* entries of the ring: a power of two */
#define MODTEST_COVERAGE_TEXT 32     /* bytes kept of each compared string */
#define MODTEST_COVERAGE_RANGES 64   /* inline counter ranges kept */

/* Kinds of an operand entry. */
#define MODTEST_OPERAND_INTEGERS 1 /* two integers compared */
#define MODTEST_OPERAND_CONSTANT 2 /* the same, the first a constant of the code */
#define MODTEST_OPERAND_STRINGS 3  /* two byte strings compared */
#define MODTEST_OPERAND_TEXTS 4    /* two C strings compared, each ending at a NUL */

struct modtest_coverage_operand {
  unsigned long kind;
  /* integers: their width in bytes (1, 2, 4 or 8); strings: the bytes
   * kept of each, up to MODTEST_COVERAGE_TEXT */
  unsigned long size;
  modtest_coverage_u64 integers[2];
  unsigned char strings[2][MODTEST_COVERAGE_TEXT];
};

struct modtest_coverage_range {
  unsigned char* start;
  unsigned char* stop; /* one past the last counter */
};

struct modtest_coverage_view {
  unsigned long version;
  unsigned char* edge_map;
  unsigned long edge_map_size;
  /* Indexes of edge_map's slots counted since the host cleared them; a
   * touched_count above touched_size means the list overflowed, and the host
   * reads the whole map. The host sets touched_count back to 0. */
  unsigned long* touched;
  unsigned long touched_count;
  unsigned long touched_size;
  struct modtest_coverage_range* counter_ranges;
  unsigned long counter_range_count;
  struct modtest_coverage_operand* operands;
  unsigned long operand_size;
  unsigned long operands_written;
};

#ifdef __cplusplus
extern "C" {
#endif

static unsigned char modtest_edge_map[MODTEST_COVERAGE_EDGES];
static unsigned long modtest_touched[MODTEST_COVERAGE_EDGES];
static struct modtest_coverage_range modtest_ranges[MODTEST_COVERAGE_RANGES];
static struct modtest_coverage_operand modtest_operands[MODTEST_COVERAGE_OPERANDS];
static struct modtest_coverage_view modtest_view = {MODTEST_COVERAGE_VERSION,
                                                    modtest_edge_map,
                                                    MODTEST_COVERAGE_EDGES,
                                                    modtest_touched,
                                                    0,
                                                    MODTEST_COVERAGE_EDGES,
                                                    modtest_ranges,
                                                    0,
                                                    modtest_operands,
                                                    MODTEST_COVERAGE_OPERANDS,
                                                    0};
/* The last block's hash, halved: an edge is the pair of two blocks. */
static size_t modtest_previous_block;

MODTEST_COVERAGE_EXPORT MODTEST_COVERAGE_UNTRACED struct modtest_coverage_view* modtest_coverage(
    void) {
  return &modtest_view;
}

MODTEST_COVERAGE_UNTRACED static void modtest_count_slot(size_t slot) {
  unsigned char count = modtest_edge_map[slot];
  if (count == 0) {
    if (modtest_view.touched_count < MODTEST_COVERAGE_EDGES) {
      modtest_touched[modtest_view.touched_count] = (unsigned long)slot;
    }
    /* Past the list's end it still counts up, which says it overflowed. */
    if (modtest_view.touched_count <= MODTEST_COVERAGE_EDGES) ++modtest_view.touched_count;
  }
  modtest_edge_map[slot] = (unsigned char)(count + 1 + (count == 255));
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_pc(void) {
  size_t block = MODTEST_COVERAGE_CALLER;
  block = (block ^ (block >> 15)) * 2654435761u;
  block ^= block >> 13;
  modtest_count_slot((block ^ modtest_previous_block) & (MODTEST_COVERAGE_EDGES - 1));
  modtest_previous_block = block >> 1;
}

/* trace-pc-guard, where a compiler is asked for it: each guard numbers an
 * edge, from 1. */
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_pc_guard_init(unsigned int* start,
                                                                   unsigned int* stop) {
  static unsigned int next = 0;
  for (; start < stop; ++start) {
    if (*start == 0) *start = ++next;
  }
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_pc_guard(unsigned int* guard) {
  modtest_count_slot(*guard & (MODTEST_COVERAGE_EDGES - 1));
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_8bit_counters_init(unsigned char* start,
                                                                  unsigned char* stop) {
  unsigned long at;
  for (at = 0; at < modtest_view.counter_range_count; ++at) {
    if (modtest_ranges[at].start == start) return;
  }
  if (modtest_view.counter_range_count == MODTEST_COVERAGE_RANGES) return;
  modtest_ranges[modtest_view.counter_range_count].start = start;
  modtest_ranges[modtest_view.counter_range_count].stop = stop;
  ++modtest_view.counter_range_count;
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_pcs_init(const size_t* start, const size_t* stop) {
  (void)start;
  (void)stop;
}

MODTEST_COVERAGE_UNTRACED static void modtest_note_integers(unsigned long kind, unsigned long size,
                                                            modtest_coverage_u64 first,
                                                            modtest_coverage_u64 second) {
  struct modtest_coverage_operand* entry;
  /* Equal operands teach nothing: the request holds the value already. */
  if (first == second) return;
  entry = &modtest_operands[modtest_view.operands_written & (MODTEST_COVERAGE_OPERANDS - 1)];
  entry->kind = kind;
  entry->size = size;
  entry->integers[0] = first;
  entry->integers[1] = second;
  ++modtest_view.operands_written;
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_cmp1(unsigned char first,
                                                          unsigned char second) {
  modtest_note_integers(MODTEST_OPERAND_INTEGERS, 1, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_cmp2(unsigned short first,
                                                          unsigned short second) {
  modtest_note_integers(MODTEST_OPERAND_INTEGERS, 2, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_cmp4(unsigned int first, unsigned int second) {
  modtest_note_integers(MODTEST_OPERAND_INTEGERS, 4, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_cmp8(modtest_coverage_u64 first,
                                                          modtest_coverage_u64 second) {
  modtest_note_integers(MODTEST_OPERAND_INTEGERS, 8, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_const_cmp1(unsigned char first,
                                                                unsigned char second) {
  modtest_note_integers(MODTEST_OPERAND_CONSTANT, 1, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_const_cmp2(unsigned short first,
                                                                unsigned short second) {
  modtest_note_integers(MODTEST_OPERAND_CONSTANT, 2, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_const_cmp4(unsigned int first,
                                                                unsigned int second) {
  modtest_note_integers(MODTEST_OPERAND_CONSTANT, 4, first, second);
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_const_cmp8(modtest_coverage_u64 first,
                                                                modtest_coverage_u64 second) {
  modtest_note_integers(MODTEST_OPERAND_CONSTANT, 8, first, second);
}

/* gcc traces floating-point comparisons too; their operands make no words. */
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_cmpf(float first, float second) {
  (void)first;
  (void)second;
}
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_cmpd(double first, double second) {
  (void)first;
  (void)second;
}

/* cases[0] is how many cases follow cases[1], their width in bits. Only
 * the case values next to `value` are kept: a large switch would flush the
 * ring on every call. */
MODTEST_COVERAGE_UNTRACED void __sanitizer_cov_trace_switch(modtest_coverage_u64 value,
                                                            void* case_table) {
  const modtest_coverage_u64* cases = (const modtest_coverage_u64*)case_table;
  modtest_coverage_u64 at;
  unsigned long size = (unsigned long)(cases[1] / 8);
  modtest_coverage_u64 below = 0;
  modtest_coverage_u64 above = 0;
  int has_below = 0;
  int has_above = 0;
  for (at = 0; at < cases[0]; ++at) {
    modtest_coverage_u64 item = cases[2 + at];
    if (item < value && (!has_below || item > below)) {
      below = item;
      has_below = 1;
    } else if (item > value && (!has_above || item < above)) {
      above = item;
      has_above = 1;
    }
  }
  if (has_below) modtest_note_integers(MODTEST_OPERAND_CONSTANT, size, below, value);
  if (has_above) modtest_note_integers(MODTEST_OPERAND_CONSTANT, size, above, value);
}

/* A C string (`texts`) is copied up to its NUL, and the rest of its room
 * filled with NULs. */
MODTEST_COVERAGE_UNTRACED static void modtest_note_strings(const void* first, const void* second,
                                                           size_t length, int texts) {
  struct modtest_coverage_operand* entry;
  const unsigned char* bytes[2];
  size_t side;
  size_t at;
  if (length > MODTEST_COVERAGE_TEXT) length = MODTEST_COVERAGE_TEXT;
  bytes[0] = (const unsigned char*)first;
  bytes[1] = (const unsigned char*)second;
  entry = &modtest_operands[modtest_view.operands_written & (MODTEST_COVERAGE_OPERANDS - 1)];
  entry->kind = texts ? MODTEST_OPERAND_TEXTS : MODTEST_OPERAND_STRINGS;
  entry->size = (unsigned long)length;
  for (side = 0; side < 2; ++side) {
    int ended = 0;
    for (at = 0; at < length; ++at) {
      ended = ended || (texts && bytes[side][at] == 0);
      entry->strings[side][at] = ended ? 0 : bytes[side][at];
    }
  }
  ++modtest_view.operands_written;
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_weak_hook_memcmp(void* caller, const void* first,
                                                            const void* second, size_t length,
                                                            int result) {
  (void)caller;
  if (result != 0) modtest_note_strings(first, second, length, 0);
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_weak_hook_strncmp(void* caller, const char* first,
                                                             const char* second, size_t length,
                                                             int result) {
  (void)caller;
  if (result != 0) modtest_note_strings(first, second, length, 1);
}

MODTEST_COVERAGE_UNTRACED void __sanitizer_weak_hook_strcmp(void* caller, const char* first,
                                                            const char* second, int result) {
  __sanitizer_weak_hook_strncmp(caller, first, second, MODTEST_COVERAGE_TEXT, result);
}

#ifdef __cplusplus
}
#endif
