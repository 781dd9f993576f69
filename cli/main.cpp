// larkspan-cli: the optimisation engine from a terminal.
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "engine/uRunReport.h"
#include "platform/Error.h"
#include "platform/Terminal.h"
#include "platform/Termination.h"

int main(int argc, char** argv) {
  using namespace larkspan;
  // Ctrl-C (and SIGTERM) stop the run through the engine: the running tool
  // dies with its process group, the report still comes, and the exit status
  // says which signal it was (130/143). A second one ends us at once.
  InstallStopSignals();
  TCliOptions Options;
  try {
    Options = ParseCliOptions(argc, argv);
  } catch (const TCliOptionError& E) {
    std::cerr << "larkspan-cli: " << E.what() << "\nTry 'larkspan-cli --help'.\n";
    // The JSON refusal is in the report's language, as any other would be.
    const bool English = LangEnglishInArgs(argc, argv, LangFromEnvironment() == TReportLang::En);
    for (int I = 1; I < argc; ++I)
      // "--jso" is --json shortened; "--js" is the switch --js.
      if (const std::string A = argv[I]; A.size() >= 5 && std::string("--json").rfind(A, 0) == 0) {
        std::cout << "{\"success\":false,\"refused\":true,\"error\":" << JsonString(E.Text(English))
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
  return RunCli(Options, std::cout, std::cerr, IsTerminal(2) && !Options.Quiet && !Options.Json);
}
