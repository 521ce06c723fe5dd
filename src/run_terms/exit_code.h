#pragma once

// How a run ends. Scripts rely on these; the README lists them.
enum ExitCode : int {
  kExitSuccess = 0,
  kExitCasesFailed = 1,
  kExitUsage = 2,
  kExitModuleCrashed = 3,
  kExitModuleTimedOut = 4,
  kExitModuleEndedProcess = 5,
  kExitOwnFault = 6,
};
