#include "engine/uDryRun.h"

#include <unordered_set>

#include "config/uConfig.h"
#include "engine/uFileWriter.h"
#include "engine/uPageRewriter.h"
#include "engine/uRefCheck.h"
#include "engine/uSiteScan.h"

namespace larkspan {

TDryRun::TDryRun(const TSiteScan& AScan, const TAppConfig& ASettings,
                 const TDuplicateSet& ADuplicates, TFileWriter& AWriter, int AJobs)
    : Scan(AScan), Settings(ASettings), Duplicates(ADuplicates), Writer(AWriter), Jobs(AJobs) {}

std::vector<TKeptDuplicate> TDryRun::KeptDuplicates(
    const std::function<void(const std::string& Path)>& BeforePage,
    const std::function<void()>& BeforeFile) {
  TRefCheck Check(Scan.RootDir, Duplicates.DuplicateFiles());
  // The pages as the run would rewrite them; a page the rewriting leaves as
  // it is, is read with the site's other files below, as the run does.
  TPageRewriter& Rewriter = Writer.Rewriter();
  for (size_t I = 0; I < Scan.PageFiles.size(); ++I) {
    BeforePage(Scan.PageFiles[I]);
    if (Rewriter.Rewrite(Scan.PageFiles[I]))
      Check.Note(Scan.PageFiles[I], int64_t(I), Rewriter.PageText);
  }
  NoteSiteReferences(Check, Scan.PageFiles, {&Scan.CompressFiles, &Scan.OtherFiles},
                     Settings.CodePage, Jobs, BeforeFile);
  return TDuplicateSet::StillReferred(Check);
}

void TDryRun::Record(TFileResults& Records, TRunRecord& Run,
                     const std::function<void(const std::string& Path)>& BeforePage,
                     const std::function<void()>& BeforeFile) {
  const bool Dupes = !Duplicates.Empty();
  if (Dupes) Run.KeptDuplicates = KeptDuplicates(BeforePage, BeforeFile);
  auto Picture = [&](const std::string& Path) {
    Records.Add(Writer.PlanOtherFile(Path, Run.MissingTools));
  };
  for (const auto& Entry : Duplicates.MasterList) Picture(Entry.second->FileName);
  TPageRewriter& Rewriter = Writer.Rewriter();
  for (const std::string& Page : Scan.PageFiles) {
    if (Dupes && Rewriter.Rewrite(Page))
      Records.Add(Scan.NewRecord(Page, TFileAction::Rewritten));
    else if (Settings.IsCompressHtml && Scan.CanCompress(Scan.RootDir, Page))
      Records.Add(Scan.NewRecord(Page, TFileAction::Minified));
    else
      Records.Add(
          Scan.NewRecord(Page, TFileAction::Copied,
                         Settings.IsCompressHtml ? TFileReason::ExceptionFile : TFileReason::None));
  }
  for (const std::string& Path : Scan.CompressFiles)
    Records.Add(Scan.NewRecord(Path, TFileAction::Minified));
  for (const std::string& Path : Scan.OtherFiles) Picture(Path);
  for (const TKeptDuplicate& Ref : Run.KeptDuplicates) {
    Records.Add(Scan.NewRecord(Ref.FileName, TFileAction::KeptDuplicate, TFileReason::ReferredBy,
                               Scan.RelativePath(Ref.RefFile) + ":" + std::to_string(Ref.RefLine)));
  }
  RecordLeftOutDuplicates(Scan, Duplicates, Run.KeptDuplicates, Records);
}

void RecordLeftOutDuplicates(const TSiteScan& Scan, const TDuplicateSet& Duplicates,
                             const std::vector<TKeptDuplicate>& Kept, TFileResults& Records) {
  std::unordered_set<std::string> KeptNames;
  for (const TKeptDuplicate& K : Kept) KeptNames.insert(K.FileName);
  const TDetailList& Details = Duplicates.DetailList;
  for (int I = 0; I < Details.Count(); ++I) {
    const TDetailItm* D = Details.Objects(I);
    if (KeptNames.count(D->FileName) != 0) continue;
    const std::string& Master = Duplicates.MasterOf(*D);
    Records.Add(Scan.NewRecord(D->FileName, TFileAction::DuplicateLeftOut,
                               TFileReason::SameContentAs,
                               Master.empty() ? std::string() : Scan.RelativePath(Master)));
  }
}

}  // namespace larkspan
