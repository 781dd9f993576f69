#include "cli/CliRun.h"

#include <cstdio>
#include <sstream>

#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "engine/uEngineRun.h"
#include "engine/uRunReport.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace larkspan {

std::string JsonString(const std::string& S) {
  std::string R = "\"";
  for (size_t I = 0; I < S.size(); ++I) {
    const unsigned char C = static_cast<unsigned char>(S[I]);
    if (C >= 0x80) {
      const size_t N = Utf8SequenceLength(S, I);
      if (N > 0) {
        R.append(S, I, N);
        I += N - 1;
      } else {
        char Buf[8];
        std::snprintf(Buf, sizeof Buf, "\\udc%02x", C);
        R += Buf;
      }
      continue;
    }
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

// The settings file --settings reads, never creating its folder; warns on
// Err when it exists but cannot be read.
std::unique_ptr<TAppConfig> SavedSettings(std::ostream& Err) {
  const std::string Path = ConfigFolderPath() + "Config.ini";
  if (DirectoryExists(Path)) {
    Err << "警告：设置文件是一个目录，使用默认设置 (the settings file is a folder; defaults used): "
        << Path << "\n";
  } else if (FileExists(Path) || IsSymbolicLink(Path)) {
    try {
      ReadFileText(Path);
    } catch (const Exception& E) {
      Err << "警告：无法读取设置文件，使用默认设置 (settings unreadable; defaults used): "
          << E.what() << "\n";
    }
  }
  return std::make_unique<TAppConfig>(Path, true);
}

}  // namespace

int RunCli(const TCliOptions& Options, std::ostream& Out, std::ostream& Err, bool ShowProgress) {
  // A refusal: the message on Err, and with --json also a result object.
  auto Refuse = [&](const std::string& Message) {
    Err << Message << "\n";
    if (Options.Json)
      Out << "{\"success\":false,\"refused\":true,\"error\":" << JsonString(Message) << "}\n";
    return 2;
  };
  std::unique_ptr<TAppConfig> Config =
      Options.UseSettings ? SavedSettings(Err) : std::make_unique<TAppConfig>(std::string(), false);
  Config->SaveOnDestroy = false;  // the command line never writes the settings
  ApplyCliOptions(Options, *Config);

  if (!DirectoryExists(Options.Site)) return Refuse("网站根目录不存在！");
  if (FoldersConflict(Options.Site, Options.Output))
    return Refuse("网站根目录和输出目录不能相同！");
  if (const std::string Problem = ToolTimeoutProblem(); !Problem.empty()) return Refuse(Problem);
  const TAppConfig& C = *Config;
  if (!(C.IsCompressHtml || C.IsCompressJS || C.IsCompressCSS || C.IsCompressXML ||
        C.IsReducePic || C.IsCompressJpg || C.IsCompressGif || C.IsCompressPng))
    return Refuse("无可处理压缩选项！");

  const TRunOutcome R = RunEngineToEnd(*Config, Options.Site, Options.Output, [&](int Percent) {
    if (ShowProgress) DrawBar(Err, Percent);
  });
  if (!R.StartError.empty()) return Refuse(R.StartError);
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
      << ",\"skipped\":" << R.Counts.Skipped << "},\"uncompressed\":" << R.UncompressedFiles.size()
      << ",\"skipped_files\":[";
    for (size_t I = 0; I < R.SkippedFiles.size(); ++I)
      J << (I ? "," : "") << "{\"path\":" << JsonString(R.SkippedFiles[I].FileName)
        << ",\"reason\":" << JsonString(R.SkippedFiles[I].Reason) << "}";
    J << "]}";
    Out << J.str() << "\n";
  } else if (R.IsSuccess) {
    Out << SuccessReport(Config->IsReducePic, R.DuplicateCount, R.SavedSize) << "\n";
    if (!R.UncompressedFiles.empty())
      Out << R.UncompressedFiles.size() << " files were copied without compression\n";
    if (!R.SkippedFiles.empty()) Out << SkippedReport(R.SkippedFiles.size()) << "\n";
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
    for (const TSkippedFile& S : R.SkippedFiles)
      Err << "skipped: " << S.FileName << " (" << S.Reason << ")\n";
  }
  return R.IsSuccess ? 0 : 1;
}

}  // namespace larkspan
