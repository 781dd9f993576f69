// larkspan-cli: the optimisation engine from a terminal.
#include <cstdio>
#include <iostream>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "platform/Error.h"
#include "platform/Terminal.h"

int main(int argc, char** argv) {
  using namespace larkspan;
  TCliOptions Options;
  try {
    Options = ParseCliOptions(argc, argv);
  } catch (const Exception& E) {
    std::cerr << "larkspan-cli: " << E.what() << "\nTry 'larkspan-cli --help'.\n";
    return 2;
  }
  if (Options.Help) {
    std::cout << CliUsage();
    return 0;
  }
  if (Options.Version) {
    std::cout << "larkspan-cli " << LARKSPAN_VERSION << "\n";
    return 0;
  }
  // Ctrl-C (and SIGTERM) stop the run through the engine: the report still
  // comes, and the exit status says which signal it was.
  InstallStopSignals();
  return RunCli(Options, std::cout, std::cerr, IsTerminal(2) && !Options.Quiet && !Options.Json);
}
