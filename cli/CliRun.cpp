#include "cli/CliRun.h"

#include <cstdio>
#include <sstream>

#include "config/uConfig.h"
#include "engine/uRunReport.h"
#include "engine/uEngineRun.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"

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

  const TRunOutcome R = RunEngineToEnd(*Config, Options.Site, Options.Output, [&](int Percent) {
    if (ShowProgress) DrawBar(Err, Percent);
  });
  if (!R.StartError.empty()) return Refuse(Err, R.StartError);
  if (ShowProgress && R.Started) Err << "\n";
  const std::string ErrorText = R.CreateError.empty() ? R.ErrorText : R.CreateError;

  // The engine measured the output tree for the saved size already.
  const int64_t OutputSize = R.FinishedCalls ? R.SourceSize - R.SavedSize : 0;
  if (Options.Json) {
    std::ostringstream J;
    J << "{\"success\":" << (R.IsSuccess ? "true" : "false")
      << ",\"error\":" << JsonString(ErrorText) << ",\"saved_bytes\":" << R.SavedSize
      << ",\"source_bytes\":" << R.SourceSize << ",\"output_bytes\":" << OutputSize
      << ",\"duplicates\":" << R.DuplicateCount << ",\"files\":{\"pictures\":" << R.Counts.Pictures
      << ",\"pages\":" << R.Counts.Pages << ",\"compressed\":" << R.Counts.Compressed
      << ",\"other\":" << R.Counts.Other << ",\"dropped\":" << R.Counts.Dropped
      << "},\"uncompressed\":" << R.UncompressedFiles.size() << "}";
    Out << J.str() << "\n";
  } else if (R.IsSuccess) {
    Out << SuccessReport(Config->IsReducePic, R.DuplicateCount, R.SavedSize) << "\n";
    if (!R.UncompressedFiles.empty())
      Out << R.UncompressedFiles.size() << " files were copied without compression\n";
  } else {
    Out << FailureReport(ErrorText) << "\n";
  }
  if (Options.Verbose) {
    for (const std::string& P : R.RewrittenPages) Err << "rewritten: " << P << "\n";
    for (const TKeptDuplicate& K : R.KeptDuplicates)
      Err << "kept duplicate: " << K.FileName << " (referred to by " << K.RefFile << ":"
          << K.RefLine << ")\n";
    for (const std::string& U : R.UncompressedFiles) {
      Err << "copied without compression: " << U;
      const auto Why = R.CompressErrors.find(U);
      // The reason starts with the path again: show only what follows it.
      if (Why != R.CompressErrors.end())
        Err << " ("
            << (Why->second.rfind(U + ": ", 0) == 0 ? Why->second.substr(U.size() + 2)
                                                    : Why->second)
            << ")";
      Err << "\n";
    }
  }
  return R.IsSuccess ? 0 : 1;
}

}  // namespace larkspan
