#include "cli/CliRun.h"

#include <chrono>
#include <cstdio>
#include <sstream>

#include "cli/CliProgress.h"
#include "config/uConfig.h"
#include "config/uGlobal.h"
#include "engine/uEngineRun.h"
#include "engine/uFolderCheck.h"
#include "engine/uRunReport.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Terminal.h"
#include "platform/Termination.h"
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
      case '"':
        R += "\\\"";
        break;
      case '\\':
        R += "\\\\";
        break;
      case '\n':
        R += "\\n";
        break;
      case '\r':
        R += "\\r";
        break;
      case '\t':
        R += "\\t";
        break;
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

// A message for the terminal: a name in it with control characters is no
// way to move the cursor or forge a line.
std::string Prefixed(const std::string& Text) { return "larkspan-cli: " + QuotedName(Text); }

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
  auto Config = std::make_unique<TAppConfig>(Path, true);
  for (const std::string& Warning : Config->LoadWarnings) Err << "警告：" << Warning << "\n";
  return Config;
}

// A refusal before anything was written: Message on Err, and with --json
// also a result object holding JsonMessage (the system's own text).
int Refuse(const TCliOptions& Options, std::ostream& Out, std::ostream& Err,
           const std::string& Message, const std::string& JsonMessage) {
  Err << Prefixed(Message) << "\n";
  if (Options.Json)
    Out << "{\"success\":false,\"refused\":true,\"error\":" << JsonString(JsonMessage) << "}\n";
  return 2;
}

// The refusals before a run, in the report's language, naming the folder.
std::string RefusalText(int Which, const std::string& Path, TReportLang Lang) {
  static const char* const Zh[] = {"网站根目录不存在！", "网站根目录和输出目录不能相同！",
                                   "无可处理压缩选项！"};
  static const char* const En[] = {"the site folder does not exist",
                                   "the site folder and the output folder overlap",
                                   "no optimisation option is switched on"};
  const std::string Text = Lang == TReportLang::Zh ? Zh[Which] : En[Which];
  return Path.empty() ? Text : Path + ": " + Text;
}

std::string JsonList(const std::vector<TFileResult>& Results, TFileAction Action) {
  std::string J = "[";
  for (const TFileResult& R : Results) {
    if (R.Action != Action) continue;
    if (J.size() > 1) J += ",";
    J += JsonString(R.Path);
  }
  return J + "]";
}

std::string JsonStrings(const std::vector<std::string>& List) {
  std::string J = "[";
  for (const std::string& S : List) J += (J.size() > 1 ? "," : "") + JsonString(S);
  return J + "]";
}

// "minified      1234 -> 567    54.1%  css/site.css"
// (a dry run says what it would do, with the size in the site alone; so do
// the lines of files left out, SizeOnly).
std::string FileLine(const TFileResult& R, TReportLang Lang, bool DryRun, bool SizeOnly) {
  std::string Action = DryRun ? PlannedActionText(R.Action, Lang) : ActionText(R.Action, Lang);
  const int Pad = (DryRun ? 22 : 18) - DisplayColumns(Action);
  if (Pad > 0) Action += std::string(size_t(Pad), ' ');
  char Sizes[96];
  if (DryRun || SizeOnly)
    std::snprintf(Sizes, sizeof Sizes, "%10lld", static_cast<long long>(R.BytesIn));
  else
    std::snprintf(Sizes, sizeof Sizes, "%10lld -> %-10lld %7s", static_cast<long long>(R.BytesIn),
                  static_cast<long long>(R.BytesOut), SavedPercent(R.BytesIn, R.BytesOut).c_str());
  std::string Line = Action + Sizes + "  " + QuotedName(R.Path);
  const std::string Why = ReasonText(R, Lang);
  if (!Why.empty()) Line += " (" + QuotedName(Why) + ")";
  return Line;
}

std::string JoinOutput(const std::string& Output, const std::string& Relative) {
  return IncludeTrailingDelimiter(Output) + Relative;
}

// --verbose's lists after the files: rewritten pages, kept duplicates, files
// copied without compression (with the compressor's reason), entries
// skipped unread. Every name is quoted where it holds control characters.
void VerboseLists(const TRunOutcome& R, const std::string& Output, TReportLang Lang,
                  std::ostream& Out) {
  const bool Zh = Lang == TReportLang::Zh;
  for (const TFileResult& F : R.Results)
    if (F.Action == TFileAction::Rewritten)
      Out << (Zh ? "已改写：" : "rewritten: ") << QuotedName(JoinOutput(Output, F.Path)) << "\n";
  for (const TKeptDuplicate& K : R.KeptDuplicates)
    Out << (Zh ? "保留重复：" : "kept duplicate: ") << QuotedName(K.FileName)
        << (Zh ? "（仍被引用：" : " (referred to by ") << QuotedName(K.RefFile) << ":" << K.RefLine
        << (Zh ? "）\n" : ")\n");
  for (const std::string& U : R.UncompressedFiles) {
    Out << (Zh ? "未能压缩，原样复制：" : "copied without compression: ") << QuotedName(U);
    const auto Why = R.CompressErrors.find(U);
    // The reason starts with the path again: show only what follows it.
    if (Why != R.CompressErrors.end())
      Out << " ("
          << QuotedName(Why->second.rfind(U + ": ", 0) == 0 ? Why->second.substr(U.size() + 2)
                                                            : Why->second)
          << ")";
    Out << "\n";
  }
  for (const std::string& S : R.StaleFiles)
    Out << (R.RemovedStale > 0 ? (Zh ? "已删除：" : "removed: ") : (Zh ? "多余：" : "stale: "))
        << QuotedName(JoinOutput(Output, S)) << "\n";
  for (const TSkippedFile& S : R.SkippedFiles) {
    // The engine words the reason in both languages: each report its half.
    TFileResult Why;
    Why.Reason = TFileReason::NotAFile;
    Why.Detail = S.Reason;
    Out << (Zh ? "已跳过：" : "skipped: ") << QuotedName(S.FileName) << " ("
        << ReasonText(Why, Lang) << ")\n";
  }
}

}  // namespace

namespace {

// The summary by kind: [{"kind":"pages","files":2,"bytes_in":..,"bytes_out":..,
// "unreduced":[...],"part_kept":[...]}, ...].
std::string JsonKinds(const std::vector<TFileResult>& Results) {
  static const char* const Ids[FileKindCount] = {"pages",      "style_sheets", "scripts", "xml",
                                                 "jpeg",       "gif",          "png",     "other",
                                                 "duplicates", "filtered"};
  std::ostringstream J;
  J << "[";
  bool First = true;
  for (const TKindSummary& Row : SummaryByKind(Results)) {
    J << (First ? "" : ",") << "{\"kind\":\"" << Ids[size_t(Row.Kind)]
      << "\",\"files\":" << Row.Files << ",\"bytes_in\":" << Row.BytesIn
      << ",\"bytes_out\":" << Row.BytesOut << ",\"unreduced\":" << JsonStrings(Row.Unreduced)
      << ",\"part_kept\":" << JsonStrings(Row.PartKept) << "}";
    First = false;
  }
  J << "]";
  return J.str();
}

// The run's result as one JSON object (always UTF-8).
std::string JsonReport(const TCliOptions& Options, const TRunOutcome& R,
                       const std::string& ErrorText, int64_t OutputSize,
                       const std::string& JpegMode) {
  std::ostringstream J;
  J << "{\"success\":" << (R.IsSuccess ? "true" : "false") << ",\"error\":" << JsonString(ErrorText)
    << ",\"saved_bytes\":" << R.SavedSize << ",\"source_bytes\":" << R.SourceSize
    << ",\"output_bytes\":" << OutputSize << ",\"duplicates\":" << R.DuplicateCount
    << ",\"files\":{\"pictures\":" << R.Counts.Pictures << ",\"pages\":" << R.Counts.Pages
    << ",\"compressed\":" << R.Counts.Compressed << ",\"other\":" << R.Counts.Other
    << ",\"dropped\":" << R.Counts.Dropped << ",\"skipped\":" << R.Counts.Skipped
    << "},\"uncompressed\":" << R.UncompressedFiles.size() << ",\"skipped_files\":[";
  for (size_t I = 0; I < R.SkippedFiles.size(); ++I)
    J << (I ? "," : "") << "{\"path\":" << JsonString(R.SkippedFiles[I].FileName)
      << ",\"reason\":" << JsonString(R.SkippedFiles[I].Reason) << "}";
  J << "]"
    << ",\"stopped\":" << (R.IsStopped ? "true" : "false")
    << ",\"dry_run\":" << (R.DryRun ? "true" : "false") << ",\"jpeg_mode\":" << JsonString(JpegMode)
    << ",\"by_kind\":" << JsonKinds(R.Results) << ",\"output\":" << JsonString(Options.Output)
    << ",\"missing_tools\":" << JsonStrings(R.MissingTools) << ",\"cache_hits\":" << R.CacheHits
    << ",\"cache_warning\":" << JsonString(R.CacheWarning)
    << ",\"stale_files\":" << JsonStrings(R.StaleFiles) << ",\"removed_stale\":" << R.RemovedStale
    << ",\"stale_failures\":" << JsonStrings(R.StaleFailures)
    << ",\"skipped\":" << JsonList(R.Results, TFileAction::Skipped)
    << ",\"filtered\":" << JsonList(R.Results, TFileAction::Filtered)
    << ",\"duplicates_left_out\":" << JsonList(R.Results, TFileAction::DuplicateLeftOut)
    << ",\"files_detail\":[";
  for (size_t I = 0; I < R.Results.size(); ++I) {
    const TFileResult& F = R.Results[I];
    J << (I ? "," : "") << "{\"path\":" << JsonString(F.Path)
      << ",\"action\":" << JsonString(ActionId(F.Action))
      << ",\"reason\":" << JsonString(ReasonText(F, TReportLang::En))
      << ",\"bytes_in\":" << F.BytesIn << ",\"bytes_out\":" << F.BytesOut
      << (F.TimeCapped ? ",\"time_capped\":true" : "")
      << (F.FromCache ? ",\"from_cache\":true}" : "}");
  }
  J << "]}";
  return J.str();
}

}  // namespace

int RunCli(const TCliOptions& Options, std::ostream& Out, std::ostream& Err, bool ShowProgress) {
  const TReportLang Lang = Options.Lang == "zh"   ? TReportLang::Zh
                           : Options.Lang == "en" ? TReportLang::En
                                                  : LangFromEnvironment();
  const bool Zh = Lang == TReportLang::Zh;
  std::unique_ptr<TAppConfig> Config =
      Options.UseSettings ? SavedSettings(Err) : std::make_unique<TAppConfig>(std::string(), false);
  Config->SaveOnDestroy = false;  // the command line never writes the settings
  ApplyCliOptions(Options, *Config);

  // Refusal Which: in the report's language on Err, and so in JSON.
  auto RefuseWith = [&](int Which, const std::string& Path) {
    return Refuse(Options, Out, Err, RefusalText(Which, Path, Lang), RefusalText(Which, "", Lang));
  };
  if (!DirectoryExists(Options.Site)) return RefuseWith(0, Options.Site);
  if (FoldersConflict(Options.Site, Options.Output))
    return RefuseWith(1, Options.Site + " -> " + Options.Output);
  if (const std::string Problem = ToolTimeoutProblem(); !Problem.empty())
    return Refuse(Options, Out, Err, Problem, Problem);
  const TAppConfig& C = *Config;
  if (!(C.IsCompressHtml || C.IsCompressJS || C.IsCompressCSS || C.IsCompressXML || C.IsReducePic ||
        C.IsCompressJpg || C.IsCompressGif || C.IsCompressPng))
    return RefuseWith(2, "");

  const bool Talk = !Options.Quiet && !Options.Json;
  const auto Began = std::chrono::steady_clock::now();
  bool LineShown = false;
  TRunHooks Hooks;
  Hooks.DryRun = Options.DryRun;
  Hooks.UseCache = !Options.NoCache;
  Hooks.DeleteStale = Options.Delete;
  Hooks.OnStarted = [&](const std::vector<std::string>& Missing) {
    // A Ctrl-C while the site was scanned came before the engine armed its
    // stop for this run: pass it on, so the run stops at its first file.
    if (StopSignalReceived()) StopAllPrograms();
    if (!Talk) return;
    for (const std::string& Tool : Missing) Err << Prefixed(MissingToolReport(Tool, Lang)) << "\n";
  };
  if (ShowProgress)
    Hooks.OnStatus = [&](const TRunStatus& Status, TWebFilsMgr&) {
      const double Elapsed =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - Began).count();
      // The last column stays free: writing into it wraps some terminals.
      const int Columns = TerminalColumns(2);
      Err << "\r" << ProgressLine(Status, Elapsed, EstimateLeft(Status, Elapsed), Columns - 1, Lang)
          << "\x1b[K" << std::flush;
      LineShown = true;
    };
  const TRunOutcome R = RunEngineToEnd(*Config, Options.Site, Options.Output, Hooks);
  if (LineShown) Err << "\r\x1b[K" << std::flush;
  if (!R.StartError.empty())
    return Refuse(Options, Out, Err, Options.Site + ": " + R.StartError, R.StartError);
  const std::string ErrorText = R.CreateError.empty() ? R.ErrorText : R.CreateError;
  if (!R.CacheWarning.empty() && !Options.Quiet)
    Err << Prefixed((Zh ? "警告：" : "warning: ") + R.CacheWarning) << "\n";
  for (const std::string& F : R.StaleFailures)
    Err << Prefixed((Zh ? "无法删除：" : "could not remove: ") + F) << "\n";
  const int Signal = StopSignalReceived();
  const int Status = R.IsSuccess ? 0 : R.IsStopped && Signal ? 128 + Signal : 1;

  // The engine measured the output tree for the saved size already.
  const int64_t OutputSize = R.FinishedCalls && !R.DryRun ? R.SourceSize - R.SavedSize : 0;
  if (Options.Json) {
    Out << JsonReport(Options, R, ErrorText, OutputSize,
                      Config->IsJpegLossless() ? "lossless" : "lossy")
        << "\n";
    if (!ErrorText.empty()) Err << Prefixed(FailureReport(ErrorText, Lang)) << "\n";
    return Status;
  }
  if (!ErrorText.empty()) Err << Prefixed(FailureReport(ErrorText, Lang)) << "\n";
  if (Options.Quiet) return Status;

  if (Options.Verbose || Options.DryRun) {
    for (const TFileResult& F : R.Results) Out << FileLine(F, Lang, R.DryRun, false) << "\n";
  } else {
    // Whatever is missing from the copy is named, never only counted.
    for (const TFileResult& F : R.Results)
      if (F.Action == TFileAction::Filtered || F.Action == TFileAction::DuplicateLeftOut ||
          F.Action == TFileAction::Skipped)
        Out << FileLine(F, Lang, R.DryRun, true) << "\n";
  }
  if (R.DryRun) {
    for (const TFileResult& F : R.Results)
      if (F.Action == TFileAction::Rewritten)
        Out << (Zh ? "将改写：" : "would rewrite: ")
            << QuotedName(JoinOutput(Options.Output, F.Path)) << "\n";
  } else if (Options.Verbose) {
    VerboseLists(R, Options.Output, Lang, Out);
  }
  if (Options.Verbose || R.DryRun) Out << ActionSummary(R.Results, Lang, R.DryRun) << "\n";

  // What each kind of file came to, then the whole.
  Out << KindSummaryText(SummaryByKind(R.Results), Lang, R.DryRun);
  if (Config->IsCompressJpg) Out << JpegModeReport(Config->IsJpegLossless(), Lang) << "\n";
  if (R.IsSuccess && !R.DryRun)
    Out << DoneReport(R.SourceSize, R.SourceSize - R.SavedSize,
                      Config->IsReducePic ? R.DuplicateCount : -1, Lang)
        << "\n";
  else if (R.IsStopped)
    Out << StoppedReport(R.DoneFiles, R.TotalFiles, Lang) << "\n";
  if (R.IsSuccess && !R.DryRun && R.CacheHits > 0) Out << CacheReport(R.CacheHits, Lang) << "\n";
  if (!R.StaleFiles.empty())
    Out << StaleReport(int(R.StaleFiles.size()), R.RemovedStale, true, Lang) << "\n";
  if (!R.UncompressedFiles.empty())
    Out << UncompressedReport(int(R.UncompressedFiles.size()), Lang) << "\n";
  if (!R.SkippedFiles.empty()) Out << SkippedReport(R.SkippedFiles.size(), Lang) << "\n";
  for (const std::string& Tool : R.MissingTools) Out << MissingToolReport(Tool, Lang) << "\n";
  if (R.DryRun)
    Out << (Zh ? "试运行：没有写出任何文件。" : "Dry run: nothing was written.") << "\n";
  else if (R.Started)
    Out << OutputFolderReport(QuotedName(Options.Output), Lang) << "\n";
  return Status;
}

}  // namespace larkspan
