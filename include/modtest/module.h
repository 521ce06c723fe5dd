/* The interface a module offers modtest, for module writers.
 *
 * A module is a dynamic library (.dll on Windows, .so on Linux) that exports
 * three functions with C linkage:
 *
 *   load     called once, right after the library is loaded, with the
 *            module's own directory (ending in the path's last '\\' or '/'
 *            on Windows, '/' on Linux; no NUL at the end). Return 1 to
 *            accept; anything else makes modtest report the module as not
 *            loaded.
 *   request  called with the request text (no NUL at the end) and its
 *            length in *length. Return a new block holding the reply and
 *            set *length to the reply's length in bytes.
 *   unload   called once before the library is released, if load
 *            returned 1.
 *
 * Who owns which block: the blocks passed to load and request belong to the
 * module from the call on (free them with modtest_free_block); the reply
 * block belongs to modtest once request returns (allocate it with
 * modtest_alloc_block). On Windows these are GlobalAlloc(GMEM_FIXED) blocks,
 * on Linux malloc blocks, so either side may free what the other allocated.
 */
#ifndef MODTEST_MODULE_H
#define MODTEST_MODULE_H

#include <stddef.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
typedef HGLOBAL modtest_block;
#define MODTEST_EXPORT __declspec(dllexport)
#define MODTEST_CALL __cdecl
#else
#include <stdlib.h>
typedef void* modtest_block;
#define MODTEST_EXPORT __attribute__((visibility("default")))
#define MODTEST_CALL
#endif

#ifdef __cplusplus
#define MODTEST_API extern "C" MODTEST_EXPORT
#else
#define MODTEST_API MODTEST_EXPORT
#endif

/* The helpers below are inline functions; C89 has no `inline`, so there the
 * compiler's own spelling stands in, and the header builds as C89, C99 and
 * later, and C++. */
#if defined(__cplusplus) || (defined(__STDC_VERSION__) && __STDC_VERSION__ >= 199901L)
#define MODTEST_INLINE static inline
#elif defined(__GNUC__)
#define MODTEST_INLINE static __inline__
#elif defined(_MSC_VER)
#define MODTEST_INLINE static __inline
#else
#define MODTEST_INLINE static
#endif

/* Declared here so that a definition whose types differ from what modtest
 * calls fails to compile instead of misbehaving at run time. `long` is
 * 32 bits on Windows and 64 bits on 64-bit Linux. A module that must declare
 * the entries otherwise (one built wrong on purpose, to test modtest itself)
 * defines MODTEST_NO_PROTOTYPES before including this header. */
#ifndef MODTEST_NO_PROTOTYPES
MODTEST_API int MODTEST_CALL load(modtest_block directory, long length);
MODTEST_API modtest_block MODTEST_CALL request(modtest_block block, long* length);
MODTEST_API int MODTEST_CALL unload(void);
#endif

/* A block of `size` bytes that modtest can take over; null on failure. */
MODTEST_INLINE modtest_block modtest_alloc_block(size_t size) {
#ifdef _WIN32
  return GlobalAlloc(GMEM_FIXED, size);
#else
  return malloc(size == 0 ? 1 : size);
#endif
}

/* The bytes of a block, for reading or writing. */
MODTEST_INLINE char* modtest_block_bytes(modtest_block block) {
#ifdef _WIN32
  return (char*)GlobalLock(block);
#else
  return (char*)block;
#endif
}

MODTEST_INLINE void modtest_free_block(modtest_block block) {
#ifdef _WIN32
  GlobalFree(block);
#else
  free(block);
#endif
}

/* A new block holding a copy of `length` bytes of `text`; null on failure. */
MODTEST_INLINE modtest_block modtest_block_from(const char* text, size_t length) {
  modtest_block block = modtest_alloc_block(length);
  if (block != NULL && length != 0) memcpy(modtest_block_bytes(block), text, length);
  return block;
}

#endif /* MODTEST_MODULE_H */
