// Module entries called on 32-bit Windows, where an entry may be built
// cdecl or stdcall and the host cannot tell which before the call.

#include <cstdint>

#include "platform/library.h"

// A 32-bit entry built stdcall takes its arguments off the stack itself, and
// a caller that removes them again is left with a stack pointer off by
// their size. modtest_call_entry calls `entry` with `count` 32-bit words
// pushed as a cdecl caller pushes them, keeps the stack pointer in EBX and
// EBP, which both conventions leave as they were, stores the bytes the
// entry removed in `*removed`, and puts the stack pointer back.
extern "C" std::uintptr_t modtest_call_entry(LibraryEntry entry, const std::uintptr_t* words,
                                             int count, int* removed);
asm(R"(
    .text
    .globl _modtest_call_entry
    .def _modtest_call_entry; .scl 2; .type 32; .endef
_modtest_call_entry:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
1:  testl %ecx, %ecx
    jz 2f
    pushl -4(%esi,%ecx,4)
    decl %ecx
    jmp 1b
2:  movl %esp, %ebx
    call *8(%ebp)
    movl %esp, %ecx
    subl %ebx, %ecx
    movl 20(%ebp), %edx
    movl %ecx, (%edx)
    leal -8(%ebp), %esp
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

int call_load_entry(ModuleLoadEntry entry, ModuleBlock block, long length, int* removed) {
  const std::uintptr_t words[] = {reinterpret_cast<std::uintptr_t>(block),
                                  static_cast<std::uintptr_t>(length)};
  return static_cast<int>(
      modtest_call_entry(reinterpret_cast<LibraryEntry>(entry), words, 2, removed));
}

ModuleBlock call_request_entry(ModuleRequestEntry entry, ModuleBlock block, long* length,
                               int* removed) {
  const std::uintptr_t words[] = {reinterpret_cast<std::uintptr_t>(block),
                                  reinterpret_cast<std::uintptr_t>(length)};
  return reinterpret_cast<ModuleBlock>(
      modtest_call_entry(reinterpret_cast<LibraryEntry>(entry), words, 2, removed));
}

int call_unload_entry(ModuleUnloadEntry entry, int* removed) {
  return static_cast<int>(
      modtest_call_entry(reinterpret_cast<LibraryEntry>(entry), nullptr, 0, removed));
}
