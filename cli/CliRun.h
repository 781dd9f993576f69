// One run of the engine from the command line: checks, progress, report.
#pragma once

#include <ostream>

#include "cli/CliOptions.h"

namespace larkspan {

// Runs the engine for Options and writes the report to Out (messages and
// the progress bar to Err). Returns the exit status: 0 success, 1 the run
// failed, 2 refused before anything was written.
// REQUIRES: main thread; no other engine running.
int RunCli(const TCliOptions& Options, std::ostream& Out, std::ostream& Err, bool ShowProgress);

// Quotes S as a JSON string whose bytes are always valid UTF-8: well-formed
// UTF-8 sequences pass through; every other byte XX >= 0x80 (a GBK file
// name, say) is written as the escape \udcXX, the lone low surrogate
// U+DC00+XX that Python's "surrogateescape" turns back into the byte.
std::string JsonString(const std::string& S);

}  // namespace larkspan
