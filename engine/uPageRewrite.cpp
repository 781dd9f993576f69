// The engine's side of the reference rewriting: every page of the page
// phase goes through its worker's rewriter (uPageRewriter.h) and is saved
// at its destination; what it still refers to is noted for the reference
// check (uRefCheck.h).
#include <string_view>
#include <vector>

#include "config/uConfig.h"
#include "engine/uPageRewriter.h"
#include "engine/uWebFilesMgr.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

std::vector<std::string_view> Segments(std::string_view Path) {
  std::vector<std::string_view> Result;
  size_t Start = 0;
  for (;;) {
    const size_t End = Path.find(PathDelim, Start);
    if (End == std::string_view::npos) {
      Result.push_back(Path.substr(Start));
      return Result;
    }
    Result.push_back(Path.substr(Start, End - Start));
    Start = End + 1;
  }
}

}  // namespace

std::string TWebFilsMgr::RefToPath(const std::string& Folder, const std::string& Ref) {
  std::string Path = IncludeTrailingDelimiter(Folder);
  Path.reserve(Path.size() + Ref.size());
  for (char C : Ref) Path.push_back(C == '/' ? PathDelim : C);
  return Path;
}

std::string TWebFilsMgr::PathToRef(const std::string& Folder, const std::string& Path) {
  const std::string Dir = IncludeTrailingDelimiter(Folder);
  std::string Ref;
  if (Path.size() > Dir.size() && Path.compare(0, Dir.size(), Dir) == 0) {
    Ref = Path.substr(Dir.size());
  } else {
    std::vector<std::string_view> From = Segments(std::string_view(Dir).substr(0, Dir.size() - 1));
    std::vector<std::string_view> To = Segments(Path);
    size_t Shared = 0;
    while (Shared < From.size() && Shared + 1 < To.size() && From[Shared] == To[Shared]) ++Shared;
    for (size_t I = Shared; I < From.size(); ++I) Ref += "../";
    for (size_t I = Shared; I < To.size(); ++I) {
      Ref.append(To[I]);
      if (I + 1 < To.size()) Ref.push_back('/');
    }
  }
  if (PathDelim != '/')
    for (char& C : Ref)
      if (C == PathDelim) C = '/';
  return Ref;
}

void TWebFilsMgr::RewritePage(TWorker& W, const std::string& PageFile, const std::string& DestFile,
                              int64_t Rank) {
  if (!W.Rewriter) W.Rewriter = std::make_unique<TPageRewriter>(*this, Config->CodePage);
  TPageRewriter& R = *W.Rewriter;
  R.Rewrite(PageFile);
  if (RefCheck) RefCheck->Note(PageFile, Rank, R.PageText);
  if (R.Verbatim)
    CopyOrFail(PageFile, DestFile);
  else
    WriteFileAtomic(DestFile, R.PageText, PageFile);
}

}  // namespace larkspan
