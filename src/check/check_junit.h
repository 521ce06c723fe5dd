#pragma once

// The JUnit file of a check run: one suite per module, one case per case of
// the cases file. It is made from the journal, so that a watcher writes the
// same file when a module ended the run.

#include <string>

#include "check/case_journal.h"
#include "check/case_report.h"
#include "check/case_runner.h"
#include "check/cases_file.h"

// Adds what `outcome` says of case `index` to `journal`.
void journal_outcome(CaseJournal& journal, const CasesFile& file, std::size_t index,
                     const Outcome& outcome);

// Writes the JUnit file of the cases `journal` holds and, when a fault cut
// the run short (`progress.cut`), of the rest: the case it cut failed with
// the fault, the others not run. Returns false with `error` set when the
// file could not be written.
bool write_check_junit(const CasesFile& file, const CaseJournal& journal,
                       const CheckProgress& progress, const std::string& path, std::string& error);
