// Minifies many scripts in one process with the native script minifier.
//
//   jsminify [--level L] LIST           each line of LIST:
//                           "script|module<TAB>INPUT<TAB>OUTPUT"; writes OUTPUT,
//                           or prints "fail INPUT: reason" and writes nothing;
//                           a script minified at a lower level only is
//                           listed as "note INPUT: reason"
//   jsminify [--level L] --time N LIST  minifies every INPUT N times, writes
//                           nothing and prints "bytes seconds outbytes
//                           cpuseconds" (wall and processor time of the best
//                           of the N rounds)
// L is spaces (default), safe or smallest.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "minify/Minify.h"
#include "platform/MinifyLevel.h"

using namespace larkspan::minify;

namespace {

struct TJob {
  bool Module = false;
  std::string In, Out, Text;
};

bool ReadAll(const std::string& Path, std::string& Text) {
  std::ifstream F(Path, std::ios::binary);
  if (!F) return false;
  std::ostringstream S;
  S << F.rdbuf();
  Text = S.str();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int Rounds = 0;
  int A = 1;
  TMinifyOptions Options;
  for (; A + 1 < argc; A += 2) {
    const std::string Opt = argv[A];
    if (Opt == "--time") {
      Rounds = std::stoi(argv[A + 1]);
    } else if (Opt == "--level") {
      const auto Level = larkspan::MinifyLevelByName(argv[A + 1]);
      if (!Level) {
        std::fprintf(stderr, "jsminify: unknown level %s\n", argv[A + 1]);
        return 2;
      }
      Options.Level = *Level;
    } else {
      break;
    }
  }
  if (A >= argc) {
    std::fprintf(stderr, "usage: jsminify [--level L] [--time N] LIST\n");
    return 2;
  }
  std::ifstream List(argv[A]);
  if (!List) {
    std::fprintf(stderr, "jsminify: cannot read %s\n", argv[A]);
    return 2;
  }
  std::vector<TJob> Jobs;
  std::string Line;
  while (std::getline(List, Line)) {
    const size_t T1 = Line.find('\t'), T2 = Line.find('\t', T1 + 1);
    if (T1 == std::string::npos || T2 == std::string::npos) continue;
    TJob J;
    J.Module = Line.substr(0, T1) == "module";
    J.In = Line.substr(T1 + 1, T2 - T1 - 1);
    J.Out = Line.substr(T2 + 1);
    if (!ReadAll(J.In, J.Text)) {
      std::printf("fail %s: cannot read\n", J.In.c_str());
      continue;
    }
    Jobs.push_back(std::move(J));
  }
  if (Rounds > 0) {
    size_t Bytes = 0, OutBytes = 0;
    double Best = 1e9, BestCpu = 1e9;
    for (int R = 0; R < Rounds; ++R) {
      Bytes = OutBytes = 0;
      const auto Start = std::chrono::steady_clock::now();
      const std::clock_t StartCpu = std::clock();
      for (const TJob& J : Jobs) {
        const TMinifyResult M = MinifyJs(J.Text, TCodePage::Utf8, Options, J.Module);
        Bytes += J.Text.size();
        OutBytes += M.Ok ? M.Output.size() : J.Text.size();
      }
      const double S =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
      const double Cpu = static_cast<double>(std::clock() - StartCpu) / CLOCKS_PER_SEC;
      if (S < Best) Best = S;
      if (Cpu < BestCpu) BestCpu = Cpu;
    }
    std::printf("%zu %.6f %zu %.6f\n", Bytes, Best, OutBytes, BestCpu);
    return 0;
  }
  int Failed = 0;
  for (const TJob& J : Jobs) {
    const TMinifyResult M = MinifyJs(J.Text, TCodePage::Utf8, Options, J.Module);
    if (!M.Ok) {
      std::printf("fail %s: %s at %d:%d\n", J.In.c_str(), M.Error.c_str(), M.Line, M.Column);
      ++Failed;
      continue;
    }
    if (!M.Note.empty()) std::printf("note %s: %s\n", J.In.c_str(), M.Note.c_str());
    std::ofstream O(J.Out, std::ios::binary);
    O << M.Output;
  }
  std::fprintf(stderr, "jsminify: %zu files, %d not minified\n", Jobs.size(), Failed);
  return 0;
}
