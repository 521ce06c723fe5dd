#pragma once

#include <string>

#include "check/case_journal.h"
#include "check/case_report.h"

// The check mode: reads the cases file at `cases_path`, binds the modules of
// saori.ini in `directory` once, sends every case's request in file order
// and reports each in TAP on standard output; the binding lines and
// whatever modules print go to standard error. With `update`, then writes
// the actual replies into the file's reply: lines. Returns the exit code: 0
// when every case passed, 1 when any failed (a module that crashed, ended
// the process or hung included), 2 when the file could not be read or
// written or is wrong, with a line on standard error for each problem and
// `usage_line` after the one for a file that would not open.
// `progress` and `journal` are where the run keeps how far it has come and
// what each case gave, which a watcher from outside may read (see
// case_report.h and check_junit.h). With a `junit_path`, the results are
// written there too as JUnit XML, one suite per module; when a module's
// fault ends the run, the watcher writes it.
int run_check(const std::string& cases_path, bool update, const std::string& directory,
              const char* usage_line, CheckProgress& progress, CaseJournal& journal,
              const std::string& junit_path = std::string());
