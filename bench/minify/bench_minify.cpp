// Throughput of the native minifiers, one process for a whole folder.
//
//   bench_minify FOLDER [REPEAT] [OUTDIR]
//
// Reads every .html/.htm/.xml/.css/.js/.mjs file below FOLDER into memory,
// minifies each kind REPEAT times (best run counts) with the options the
// compressor bridge passes (comments of pages preserved, inline style sheets
// and scripts compressed, server blocks kept) and the default character set
// GB2312, and prints one line a kind:
//   kind files bytes_in ok refused bytes_out seconds MB/s
// bytes_out counts a refused file at its own size (it is copied). With
// OUTDIR, every output (or the copied input) is written there under its
// relative path, for the tree check and for diffs. Seconds are CPU seconds
// of the process (steadier than wall time on a shared machine).
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "minify/Minify.h"

namespace fs = std::filesystem;
using namespace larkspan::minify;

namespace {

struct TFile {
  std::string Relative;
  std::string Bytes;
};

const char* KindName(TMinifyKind K) {
  switch (K) {
    case TMinifyKind::Page:
      return "page";
    case TMinifyKind::Xml:
      return "xml";
    case TMinifyKind::Css:
      return "css";
    case TMinifyKind::Js:
      return "js";
    case TMinifyKind::JsModule:
      return "mjs";
  }
  return "?";
}

double CpuSeconds() {
  timespec T;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &T);
  return T.tv_sec + T.tv_nsec / 1e9;
}

std::string ReadAll(const fs::path& P) {
  std::ifstream In(P, std::ios::binary);
  std::ostringstream S;
  S << In.rdbuf();
  return S.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: [BENCH_MINIFY_LEVEL=NAME] bench_minify FOLDER [REPEAT] [OUTDIR]\n");
    return 2;
  }
  const fs::path Root = argv[1];
  const int Repeat = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  const std::string OutDir = argc > 3 ? argv[3] : "";
  std::map<TMinifyKind, std::vector<TFile>> Files;
  for (const auto& E : fs::recursive_directory_iterator(Root)) {
    if (!E.is_regular_file()) continue;
    TMinifyKind Kind;
    if (!KindOfFile(E.path().filename().string(), Kind)) continue;
    Files[Kind].push_back({fs::relative(E.path(), Root).string(), ReadAll(E.path())});
  }
  TMinifyOptions Options;
  Options.PreserveComments = true;
  Options.CompressCss = true;
  Options.CompressJs = true;
  Options.PreservePhp = true;
  Options.PreserveServerScript = true;
  // BENCH_MINIFY_LEVEL=spaces|safe|smallest (default spaces).
  if (const char* L = std::getenv("BENCH_MINIFY_LEVEL")) {
    const auto Level = larkspan::MinifyLevelByName(L);
    if (!Level) {
      std::fprintf(stderr, "bench_minify: unknown level %s\n", L);
      return 2;
    }
    Options.Level = *Level;
  }
  for (auto& [Kind, List] : Files) {
    size_t In = 0, Out = 0, Ok = 0;
    for (const TFile& F : List) In += F.Bytes.size();
    double Best = 1e30;
    for (int R = 0; R < Repeat; ++R) {
      size_t Sum = 0, Good = 0;
      const double T0 = CpuSeconds();
      for (const TFile& F : List) {
        const TMinifyResult M = MinifyFile(Kind, F.Bytes, TCodePage::Gbk, Options);
        Sum += M.Ok ? M.Output.size() : F.Bytes.size();
        Good += M.Ok;
      }
      const double S = CpuSeconds() - T0;
      if (S < Best) Best = S;
      Out = Sum;
      Ok = Good;
    }
    for (const TFile& F : List) {
      if (OutDir.empty()) break;
      const TMinifyResult M = MinifyFile(Kind, F.Bytes, TCodePage::Gbk, Options);
      const fs::path P = fs::path(OutDir) / F.Relative;
      fs::create_directories(P.parent_path());
      std::ofstream(P, std::ios::binary) << (M.Ok ? M.Output : F.Bytes);
      if (!M.Ok && std::getenv("BENCH_MINIFY_VERBOSE"))
        std::fprintf(stderr, "refused %s: %s at %d:%d\n", F.Relative.c_str(), M.Error.c_str(),
                     M.Line, M.Column);
    }
    std::printf("%s %zu %zu %zu %zu %zu %.6f %.1f\n", KindName(Kind), List.size(), In, Ok,
                List.size() - Ok, Out, Best, In / 1e6 / Best);
  }
  return 0;
}
