#pragma once

#include "platform/library.h"

// One module of the list: its library, its three entries, its name and the
// library's full path, and whether binding succeeded.
struct ModuleRecord {
  LibraryHandle library;
  ModuleLoadEntry load_entry;
  ModuleUnloadEntry unload_entry;
  ModuleRequestEntry request_entry;
  char* name;
  char* path;
  unsigned int state;  // 1: bound; 0: binding failed
  ModuleRecord* next;
};

// Makes the record empty: every handle, entry and pointer null.
void init_record(ModuleRecord* record);

// Loads the library at `path`, looks up its entries and calls its `load`
// with the library's directory. Prints its progress and failure lines.
// Returns 1 when `load` accepted, else 0; the state flag is left to the caller.
int bind_module(ModuleRecord* record, const char* path);
// Leaves out the lines that tell a module is being bound ("dll loading.",
// its name and path) until called with false; the lines of a failure stay.
// A host that binds a module the run has bound before says them once.
void mute_binding_lines(bool muted);
bool binding_lines_muted();

// Sends the NUL-terminated request in `*buffer` to the module. The buffer
// is replaced by a new one holding the reply and a NUL, which the caller
// releases with host_release. Returns 1.
int call_request(ModuleRecord* record, char** buffer);
// The same for a request whose length, `*length`, is known: a long request is
// then not measured again. On return `*length` is the length of the text in
// `*buffer`, up to its first NUL.
int call_request(ModuleRecord* record, char** buffer, std::size_t* length);

// Sends `request_length` bytes at `request` to the module. Returns 1 when the
// module was called, with its reply in `*reply` (a host buffer of
// `*reply_length` bytes and a NUL, the caller's to release; null when no
// memory was left for it, after "malloc error!"). Returns 0, having printed
// why where the host has a message for it, when the module has no request
// entry or no block could be made.
int exchange_with_module(ModuleRecord* record, const char* request, std::size_t request_length,
                         char** reply, std::size_t* reply_length);

// Bytes after the request in its block, beyond the length the module is
// told: `length - 1` bytes of `fill` and a NUL. A module whose reply changes
// with them reads beyond the request.
struct RequestPadding {
  char fill;
  std::size_t length;
};
// exchange_with_module with the request's block padded; null: none.
int exchange_with_module_padded(ModuleRecord* record, const char* request,
                                std::size_t request_length, const RequestPadding* padding,
                                char** reply, std::size_t* reply_length);

// Calls a bound module's `unload` and releases its library. Returns 1 when
// the record was not bound or the library was released, 0 when releasing
// failed.
int release_module(ModuleRecord* record);

// Stores 0 or 1 and returns 1; any other value is refused with 0.
int set_state(ModuleRecord* record, unsigned int value);
unsigned int get_state(const ModuleRecord* record);
