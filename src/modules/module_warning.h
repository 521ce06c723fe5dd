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

// Warns when the library exports `entry` only under a decorated stdcall name
// ("_load@8", "load@8"), which the host cannot call. Returns 1 if it did.
int warn_about_decorated_export(const ModuleRecord* record, const char* entry, int argument_bytes);
