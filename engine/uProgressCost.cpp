#include "engine/uProgressCost.h"

#include <algorithm>

#include "engine/uSiteScan.h"

namespace larkspan {

int ProgressPercent(int64_t Done, int64_t Total) {
  if (Total <= 0) return 0;
  // Done * 100 stays far inside 64 bits: a cost is at most a few seconds
  // of microseconds per file.
  const int64_t N = Done * 100;
  int64_t Q = N / Total;
  const int64_t R2 = (N % Total) * 2;
  if (R2 > Total || (R2 == Total && (Q & 1))) ++Q;
  // A run with files left is not done, however cheap they are expected to be.
  if (Q >= 100 && Done < Total) Q = 99;
  return int(Q);
}

int64_t ProgressCost(TStepKind Kind, int64_t Bytes) {
  // Measured on this project's benchmark sites, one core: what a file costs
  // to open and publish, plus its bytes at the speed of its tool.
  const int64_t B = std::max<int64_t>(Bytes, 0);
  switch (Kind) {
    case TStepKind::Digest:
      return 20 + B / 400;
    case TStepKind::Copy:
      return 150 + B / 800;
    case TStepKind::Minify:
      return 250 + B / 60;
    case TStepKind::Rewrite:
      return 300 + B / 40;
    case TStepKind::Jpeg:
      return 8000 + B / 8;
    case TStepKind::Gif:
      return 5000 + B / 10;
    case TStepKind::Png:
      // The optimiser's planned work grows with the picture up to its budget.
      return std::min<int64_t>(30000 + B * 25, 2600000);
    case TStepKind::ArchiveMinify:
      return 300000 + B / 50;
  }
  return 150;
}

void TProgressPlan::Build(const TSiteScan& Scan, TStepKind MinifyKind,
                          const TPictureKind& PictureKind,
                          const std::function<bool(const std::string& Page)>& MinifyPage) {
  Costs.clear();
  TotalCost = 0;
  PagesRewritten = true;
  auto Cost = [&](TStepKind Kind, const std::string& Path) {
    return ProgressCost(Kind, Scan.ScannedSize(Path));
  };
  for (const std::string& Path : Scan.PicFiles) {
    TFileCost& C = Costs[Path];
    C.Digest = Cost(TStepKind::Digest, Path);
    C.Write = Cost(PictureKind(Path), Path);
  }
  for (const std::string& Page : Scan.PageFiles) {
    TFileCost& C = Costs[Page];
    // Rewritten: the rewriting, then the minifying when asked (in place);
    // otherwise minified or copied straight from the site.
    const int64_t Minify = MinifyPage(Page) ? Cost(MinifyKind, Page) : 0;
    C.Write = Cost(TStepKind::Rewrite, Page) + Minify;
    C.PlainPage = Minify > 0 ? Minify : Cost(TStepKind::Copy, Page);
  }
  for (const std::string& Path : Scan.CompressFiles) Costs[Path].Write = Cost(MinifyKind, Path);
  for (const std::string& Path : Scan.OtherFiles) Costs[Path].Write = Cost(PictureKind(Path), Path);
  for (const auto& Entry : Costs) TotalCost += Entry.second.Digest + Entry.second.Write;
}

void TProgressPlan::SettlePages(bool Rewritten) {
  if (Rewritten == PagesRewritten) return;
  PagesRewritten = Rewritten;
  for (auto& Entry : Costs) {
    TFileCost& C = Entry.second;
    if (C.PlainPage < 0) continue;
    TotalCost -= C.Write;
    std::swap(C.Write, C.PlainPage);
    TotalCost += C.Write;
  }
}

int64_t TProgressPlan::DigestCost(const std::string& FullPath) const {
  const auto Found = Costs.find(FullPath);
  return Found == Costs.end() ? 0 : Found->second.Digest;
}

int64_t TProgressPlan::WriteCost(const std::string& FullPath) const {
  const auto Found = Costs.find(FullPath);
  return Found == Costs.end() ? 0 : Found->second.Write;
}

}  // namespace larkspan
