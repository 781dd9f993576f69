#include "cli/CliRun.h"

#include <cstdio>
#include <sstream>

#include "config/uConfig.h"
#include "engine/uRunReport.h"
#include "engine/uWebFilesMgr.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Thread.h"

namespace larkspan {

std::string JsonString(const std::string& S) {
  std::string R = "\"";
  for (unsigned char C : S) {
    switch (C) {
      case '"': R += "\\\""; break;
      case '\\': R += "\\\\"; break;
      case '\n': R += "\\n"; break;
      case '\r': R += "\\r"; break;
      case '\t': R += "\\t"; break;
      default:
        if (C < 0x20) {
          char Buf[8];
          std::snprintf(Buf, sizeof Buf, "\\u%04x", C);
          R += Buf;
        } else {
          R += char(C);
        }
    }
  }
  return R + "\"";
}

namespace {

struct TOutcome {
  bool IsSuccess = false;
  std::string ErrorText;
  int64_t SourceSize = 0;
  int64_t SavedSize = 0;
  int Duplicates = 0;
  TScanCounts Counts;
  std::vector<std::string> Uncompressed;
  std::vector<std::string> Rewritten;
  std::vector<TKeptDuplicate> Kept;
};

void DrawBar(std::ostream& Err, int Percent) {
  const int Width = 40;
  const int Filled = Percent * Width / 100;
  Err << "\r[" << std::string(size_t(Filled), '#') << std::string(size_t(Width - Filled), '.')
      << "] " << Percent << "%" << std::flush;
}

int Refuse(std::ostream& Err, const std::string& Message) {
  Err << Message << "\n";
  return 2;
}

}  // namespace

int RunCli(const TCliOptions& Options, std::ostream& Out, std::ostream& Err, bool ShowProgress) {
  std::unique_ptr<TAppConfig> Config =
      Options.UseSettings ? std::make_unique<TAppConfig>("Config.ini")
                          : std::make_unique<TAppConfig>(std::string(), false);
  Config->SaveOnDestroy = false;  // the command line never writes the settings
  ApplyCliOptions(Options, *Config);

  if (!DirectoryExists(Options.Site)) return Refuse(Err, "网站根目录不存在！");
  if (FoldersOverlap(Options.Site, Options.Output) ||
      (DirectoryExists(Options.Output) && OutputInsideRoot(Options.Site, Options.Output)))
    return Refuse(Err, "网站根目录和输出目录不能相同！");
  const TAppConfig& C = *Config;
  if (!(C.IsCompressHtml || C.IsCompressJS || C.IsCompressCSS || C.IsCompressXML ||
        C.IsReducePic || C.IsCompressJpg || C.IsCompressGif || C.IsCompressPng))
    return Refuse(Err, "无可处理压缩选项！");

  TMainLoop Loop;
  SetMainThreadDispatcher(&Loop);
  TOutcome R;
  bool Done = false;
  TWebFilsMgr* Engine = nullptr;
  try {
    Engine = new TWebFilsMgr(Config.get());
  } catch (const std::exception& E) {
    SetMainThreadDispatcher(nullptr);
    R.ErrorText = E.what();
    Done = true;
  }
  if (Engine) {
    Engine->OnProgress = [&](TObject*, int Percent) {
      if (ShowProgress) DrawBar(Err, Percent);
    };
    Engine->OnFinished = [&](TObject* Sender) {
      auto* E = static_cast<TWebFilsMgr*>(Sender);
      R.IsSuccess = E->IsSuccess;
      R.ErrorText = E->ErrorText;
      R.SourceSize = E->SourceSize;
      R.SavedSize = E->GetSavedSize();
      R.Duplicates = E->GetDuplicateCount();
      R.Counts = E->Counts;
      R.Uncompressed = E->UncompressedFiles;
      R.Rewritten = E->RewrittenPages;
      R.Kept = E->KeptDuplicates;
      Done = true;
    };
    try {
      Engine->Start(Options.Site, Options.Output);
    } catch (const std::exception& E) {
      delete Engine;
      SetMainThreadDispatcher(nullptr);
      return Refuse(Err, E.what());
    }
    Loop.RunUntil([&] { return Done; });
    TThread::WaitForAllThreads();
    SetMainThreadDispatcher(nullptr);
    if (ShowProgress) Err << "\n";
  }

  const int64_t OutputSize = DirectoryExists(Options.Output) ? TWebFilsMgr::FolderSizeOf(Options.Output) : 0;
  if (Options.Json) {
    std::ostringstream J;
    J << "{\"success\":" << (R.IsSuccess ? "true" : "false")
      << ",\"error\":" << JsonString(R.ErrorText) << ",\"saved_bytes\":" << R.SavedSize
      << ",\"source_bytes\":" << R.SourceSize << ",\"output_bytes\":" << OutputSize
      << ",\"duplicates\":" << R.Duplicates << ",\"files\":{\"pictures\":" << R.Counts.Pictures
      << ",\"pages\":" << R.Counts.Pages << ",\"compressed\":" << R.Counts.Compressed
      << ",\"other\":" << R.Counts.Other << ",\"dropped\":" << R.Counts.Dropped
      << "},\"uncompressed\":" << R.Uncompressed.size() << "}";
    Out << J.str() << "\n";
  } else if (R.IsSuccess) {
    Out << SuccessReport(Config->IsReducePic, R.Duplicates, R.SavedSize) << "\n";
    if (!R.Uncompressed.empty())
      Out << R.Uncompressed.size() << " files were copied without compression\n";
  } else {
    Out << FailureReport(R.ErrorText) << "\n";
  }
  if (Options.Verbose) {
    for (const std::string& P : R.Rewritten) Err << "rewritten: " << P << "\n";
    for (const TKeptDuplicate& K : R.Kept)
      Err << "kept duplicate: " << K.FileName << " (referred to by " << K.RefFile << ":"
          << K.RefLine << ")\n";
    for (const std::string& U : R.Uncompressed) Err << "copied without compression: " << U << "\n";
  }
  return R.IsSuccess ? 0 : 1;
}

}  // namespace larkspan
