// larkspan-cli: the optimisation engine from a terminal.
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "platform/Error.h"
#include "platform/Process.h"
#include "platform/Termination.h"

int main(int argc, char** argv) {
  using namespace larkspan;
  // SIGINT/SIGTERM end the running tool and our temporary files with us
  // (exit 130/143).
  ExitCleanlyOnTermination();
  TCliOptions Options;
  try {
    Options = ParseCliOptions(argc, argv);
  } catch (const Exception& E) {
    std::cerr << "larkspan-cli: " << E.what() << "\n\n" << CliUsage();
    for (int I = 1; I < argc; ++I)
      if (std::string(argv[I]) == "--json") {
        std::cout << "{\"success\":false,\"refused\":true,\"error\":" << JsonString(E.what())
                  << "}\n";
        break;
      }
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
  return RunCli(Options, std::cout, std::cerr,
                StandardErrorIsTerminal() && !Options.Quiet && !Options.Json);
}
