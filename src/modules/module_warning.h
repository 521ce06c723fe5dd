#pragma once

#include "modules/module_record.h"

// Says on standard error, in one line, what a module did against its
// contract: "modtest: module NAME (PATH) " followed by the formatted text.
// Standard output is left exactly as it would be without the warning.
void warn_about_module(const ModuleRecord* record, const char* format, ...)
#if defined(__MINGW32__)
    // The C++ runtime there formats the standard way, %zu included.
    __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Hears every warning about a module, `text` being what follows
// "modtest: module NAME (PATH) ", so that a host can pass them on; returns
// whether the line is to go to standard error as well. Null: none listens.
using ModuleWarningListener = bool (*)(const ModuleRecord* record, const char* text);
void listen_to_module_warnings(ModuleWarningListener listener);

// Warns when the library exports `entry` only under a decorated stdcall name
// ("_load@8", "load@8"), which the host cannot call. Returns 1 if it did.
int warn_about_decorated_export(const ModuleRecord* record, const char* entry, int argument_bytes);

// Says on standard error, in one line, why a request got no answer from a
// module: no record of the chain from `head` has the name `name`, or the
// first that has (`record`, else null) did not load. Suggests a loaded
// module whose name is a typing slip away, when there is one.
void warn_about_unanswered_request(const ModuleRecord* head, const ModuleRecord* record,
                                   const char* name);

// Says on standard error that the module list begins with a UTF-8
// byte-order mark, which becomes part of the first module's name.
void warn_about_list_byte_order_mark();
