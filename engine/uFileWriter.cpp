#include "engine/uFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <utility>

#include "compress/uHtmlCompress.h"
#include "compress/uNativeCompress.h"
#include "config/uConfig.h"
#include "engine/uDuplicates.h"
#include "engine/uImageOptimiser.h"
#include "engine/uLinkedSheets.h"
#include "engine/uPageRewriter.h"
#include "engine/uResultCache.h"
#include "engine/uSiteScan.h"
#include "platform/CodePage.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

// An outside program's result that is missing, or empty while the source
// was not, is no result at all.
bool UsableResult(const std::string& Source, const std::string& Dest) {
  if (!FileExists(Dest)) return false;
  return FileSizeOf(Dest) > 0 || FileSizeOf(Source) == 0;
}

// The whole content of the text file Path to minify; nullopt when it is
// larger than the minifiers take or cannot be read (the minifier's own
// reading then says why).
std::optional<std::string> ReadTextToMinify(const std::string& Path) {
  if (FileSizeOf(Path) > MaxMinifySize) return std::nullopt;
  try {
    return ReadFileText(Path);
  } catch (const Exception&) {
    return std::nullopt;
  }
}

}  // namespace

std::string VanishedReason(const std::string& Path) {
  switch (PathKind(Path)) {
    case TPathKind::Missing:
      return "扫描后已被删除 (vanished since the scan)";
    case TPathKind::Folder:
    case TPathKind::Special:
      return "扫描后已不是普通文件，未读取 (no longer a regular file)";
    case TPathKind::File:
    case TPathKind::Unknown:
      break;
  }
  return std::string();
}

void CopyOrFail(const std::string& Source, const std::string& Dest) {
  if (!CopyFileOverwrite(Source, Dest))
    ThrowSystemError("复制文件失败！" + Source + " -> " + Dest, errno);
}

bool HasOptimiser(const std::string& Path) {
  const std::string Ext = UpperCaseAscii(ExtractFileExt(Path));
  for (const char* E : {".GIF", ".JPG", ".JPEG", ".PNG"})
    if (Ext == E) return true;
  return false;
}

TFileWriter::TFileWriter(const TAppConfig& ASettings, const TSiteScan& AScan,
                         const TDuplicateSet& ADuplicates, std::function<bool()> AStopAsked)
    : Settings(ASettings), Scan(AScan), Duplicates(ADuplicates), StopAsked(std::move(AStopAsked)) {
  // Only the archive needs (and checks for) a Java runtime.
  if (SameText(Settings.Compressor, "archive")) {
    HtmlCompress = std::make_unique<THtmlCompress>(HelperFolderOf("htmlcompressor.jar"));
    HtmlCompress->IsCompressCSS = Settings.IsCompressCSS;
    HtmlCompress->IsCompressJS = Settings.IsCompressJS;
    // The archive takes a name: the usual one of the code page the run uses.
    HtmlCompress->CharSet = CodePageName(Settings.CodePage);
    HtmlCompress->Level = Settings.Level;
  } else {
    NativeCompress = std::make_unique<TNativeCompress>();
    NativeCompress->IsCompressCSS = Settings.IsCompressCSS;
    NativeCompress->IsCompressJS = Settings.IsCompressJS;
    NativeCompress->CodePage = Settings.CodePage;
    NativeCompress->Level = Settings.Level;
  }
  PictureOptimiser = std::make_unique<TImageOptimiser>(&Settings, ProgramFolder());
}

TFileWriter::TFileWriter(const TFileWriter& First)
    : Settings(First.Settings),
      Scan(First.Scan),
      Duplicates(First.Duplicates),
      StopAsked(First.StopAsked) {
  if (First.HtmlCompress) HtmlCompress = std::make_unique<THtmlCompress>(*First.HtmlCompress);
  if (First.NativeCompress)
    NativeCompress = std::make_unique<TNativeCompress>(*First.NativeCompress);
  PictureOptimiser = std::make_unique<TImageOptimiser>(&Settings, ProgramFolder());
}

TFileWriter::~TFileWriter() = default;

TPageRewriter& TFileWriter::Rewriter() {
  if (!PageRewriter)
    PageRewriter = std::make_unique<TPageRewriter>(Duplicates, Scan.RootDir, Settings.CodePage);
  return *PageRewriter;
}

namespace {

// The whole content of the picture Path when its result may be kept
// (at most MaxPictureBytes); nullopt when it is larger or cannot be read
// (the copy that follows then says why).
std::optional<std::string> ReadPictureForCache(const std::string& Path) {
  if (FileSizeOf(Path) > TResultCache::MaxPictureBytes) return std::nullopt;
  try {
    std::string Bytes = ReadFileText(Path);
    if (int64_t(Bytes.size()) > TResultCache::MaxPictureBytes) return std::nullopt;
    return Bytes;
  } catch (const Exception&) {
    return std::nullopt;
  }
}

}  // namespace

TFileResult TFileWriter::WriteOtherFile(const std::string& Source, const std::string& Dest,
                                        TFileOutcome& O) {
  using TOutcome = TImageOptimiser::TOutcome;
  TImageOptimiser& Optimiser = *PictureOptimiser;
  TFileResult R = Scan.NewRecord(Source, TFileAction::Copied);
  TOutcome Outcome = TOutcome::NoRule;
  bool Failed = false;
  // With a cache, the picture is read once: its key, the optimiser's private
  // copy and any plain copy are made of these bytes.
  std::optional<std::string> Bytes;
  const auto CopySource = [&](const std::string& To) {
    if (Bytes)
      WriteFileAtomic(To, *Bytes, Source);
    else
      CopyOrFail(Source, To);
  };
  if (Optimiser.HasRuleFor(Source)) {
    std::string Key;
    if (Cache && Cache->Enabled()) Bytes = ReadPictureForCache(Source);
    if (Bytes) Key = Cache->PictureKey(Settings, Source, *Bytes);
    TCachedResult Hit;
    if (!Key.empty() && Cache->Find(Key, Hit)) {
      R.FromCache = true;
      R.Detail = Hit.Note;
      if (Hit.Kind != TCachedResult::TKind::Optimised) {
        R.Reason = TFileReason::NotSmaller;
        CopySource(Dest);
        return R;
      }
      WriteFileAtomic(Dest, Hit.Bytes, Source);
      R.Action = TFileAction::Optimised;
      return R;
    }
    // The optimiser writes into a private folder beside Dest, never through
    // whatever stands at Dest; its result is published by a rename. A stop
    // leaves Dest untouched, and the folder goes with what the program left.
    TTempFolder Work(ExtractFilePath(Dest));
    const std::string Result = Work.Path() + ExtractFileName(Dest);
    // The program reads a private copy: one that writes into its input
    // changes nothing of the site.
    const std::string Input = Work.Path() + "in/" + ExtractFileName(Source);
    if (!ForceDirectories(Work.Path() + "in")) ThrowSystemError("无法创建目录 " + Input, errno);
    CopySource(Input);
    const bool Done = Optimiser.ReducePicture(Input, Result);
    const bool Usable = Done && UsableResult(Input, Result);
    Outcome = Optimiser.LastOutcome;
    // Kept under the bytes the optimiser read; a failure is not kept.
    if (!Key.empty() && (Usable || Outcome == TOutcome::NotSmaller))
      Cache->Store(Key,
                   {Usable ? TCachedResult::TKind::Optimised : TCachedResult::TKind::NotSmaller,
                    Optimiser.LastProgram, Usable ? ReadFileText(Result) : std::string()});
    Failed = Done || Optimiser.LastFailed;  // done yet unusable counts as failed
    if (Outcome == TOutcome::Stopped || (StopAsked() && !Usable)) throw TRunStopped();
    if (Usable) {
      if (!PublishFile(Result, Dest, Source)) ThrowSystemError("无法创建文件 " + Dest, errno);
      R.Action = TFileAction::Optimised;
      R.Detail = Optimiser.LastProgram;
      return R;
    }
  }
  if (Failed) {
    O.Uncompressed = Source;
    R.Action = TFileAction::FailedCopied;
    R.Reason = TFileReason::ToolFailed;
    R.TimeCapped = Optimiser.LastTimeCapped;
    R.Detail =
        Optimiser.LastProgram + ": " +
        (Optimiser.LastFailure.empty() ? std::string("empty result") : Optimiser.LastFailure);
  } else if (Outcome == TOutcome::Missing) {
    R.Reason = TFileReason::ToolMissing;
    R.Detail = Optimiser.LastProgram;
  } else if (Outcome == TOutcome::NotSmaller) {
    R.Reason = TFileReason::NotSmaller;
    R.Detail = Optimiser.LastProgram;
  } else if (Scan.IsExcepted(Source)) {
    R.Reason = TFileReason::ExceptionFile;
  } else if (HasOptimiser(Source)) {
    R.Reason = TFileReason::NoOptimiser;
  }
  CopySource(Dest);
  return R;
}

bool TFileWriter::CompressWithArchive(const std::string& Source, const std::string& Dest,
                                      const std::string& SiteFile) {
  THtmlCompress& Compress = *HtmlCompress;
  // The compressor writes into a private folder of its own, never into the
  // output by a path (a folder of the output swapped for a link would send
  // it elsewhere); its result reaches a fresh temporary file beside Dest
  // through the output's handle. A page minified in place stays whole when
  // the compressor empties or truncates its result.
  TTempFile Result(Dest);
  Result.Close();
  const TTempFolder Private;
  const std::string Ext = ExtractFileExt(ExtractFileName(Source));
  std::string From = Source;
  const std::string To = Private.Path() + "out" + Ext;
  if (!IsValidUtf8(Source)) {
    // The Java runtime cannot name such a path: hand it an ASCII name.
    From = Private.Path() + "in" + Ext;
    CopyOrFail(Source, From);
  }
  Compress.PreSheets.clear();
  if (LinkedSheets && MinifyKindOf(Source) == minify::TMinifyKind::Page)
    Compress.PreSheets = LinkedSheets->SheetsForProgram(SiteFile, Source, Private.Path());
  const bool Started = Compress.Compress(From, To);
  // Only the temporary files can be left by a stopped compressor; they go
  // with Result and Private.
  if (StopAsked()) throw TRunStopped();
  if (!Started) throw Exception(Compress.ErrorMessage);
  if (Compress.LastExitCode == 0 && UsableResult(From, To)) {
    CopyOrFail(To, Result.Path());
    Result.Publish(Source);
    return true;
  }
  return false;
}

TFileResult TFileWriter::CompressOrCopy(const std::string& Source, const std::string& Dest,
                                        const std::string& SiteFile, TFileOutcome& O) {
  TFileResult R = Scan.NewRecord(SiteFile, TFileAction::Minified);
  std::optional<std::string> Input;  // Source as the minifier read it
  if (NativeCompress) {
    TNativeCompress& Compress = *NativeCompress;
    bool Done = false;
    Input = ReadTextToMinify(Source);
    if (Input) {
      Done = MinifyText(*Input, Source, Dest, SiteFile, R);
    } else {
      Compress.LinkedPreRules = nullptr;
      Done = Compress.Compress(Source, Dest);  // says why it cannot read Source
    }
    if (Done) {
      if (!Compress.LastNote.empty()) {
        R.Reason = TFileReason::PartKept;
        R.Detail = Compress.LastNote;
      }
      return R;
    }
    O.CompressError = Compress.ErrorMessage;
    R.Detail = "compressor: " + Compress.ErrorMessage;
  } else {
    if (CompressWithArchive(Source, Dest, SiteFile)) return R;
    const int Code = HtmlCompress->LastExitCode;
    R.Detail = Code < 0 ? std::string("compressor: killed")
                        : "compressor: exit status " + std::to_string(Code);
  }
  O.Uncompressed = SiteFile;
  R.Action = TFileAction::FailedCopied;
  R.Reason = TFileReason::ToolFailed;
  if (Source == Dest) return R;  // a page minified in place stays as it was written
  if (Input)
    WriteFileAtomic(Dest, *Input, Source);
  else
    CopyOrFail(Source, Dest);
  return R;
}

bool TFileWriter::MinifyText(const std::string& Input, const std::string& Source,
                             const std::string& Dest, const std::string& SiteFile, TFileResult& R) {
  TNativeCompress& Compress = *NativeCompress;
  // A page is minified by the rules of the sheets it links to as well: they
  // are part of its key, as its own bytes are.
  minify::TPreRules Linked;
  std::string LinkedText;
  Compress.LinkedPreRules = nullptr;
  if (LinkedSheets && MinifyKindOf(Source) == minify::TMinifyKind::Page) {
    Linked = LinkedSheets->RulesOf(SiteFile, Input);
    LinkedText = RulesKeyText(Linked);
    Compress.LinkedPreRules = [Linked](std::string_view, minify::TPreRules& Rules) {
      minify::AddPreRules(Linked, Rules);
    };
  }
  const std::string Key = Cache ? Cache->MinifyKey(Compress, Source, Input, LinkedText) : "";
  TCachedResult Hit;
  std::string Output;
  bool Done = false;
  if (!Key.empty() && Cache->Find(Key, Hit) && Hit.Kind == TCachedResult::TKind::Minified) {
    WriteFileAtomic(Dest, Hit.Bytes, Source);
    Compress.LastNote = Hit.Note;
    R.FromCache = Done = true;
  } else if (Compress.Minify(Input, Source, Output)) {
    WriteFileAtomic(Dest, Output, Source);  // keeps the mode and the time
    if (!Key.empty())
      Cache->Store(Key, {TCachedResult::TKind::Minified, Compress.LastNote, Output});
    Done = true;
  }
  Compress.LinkedPreRules = nullptr;
  return Done;
}

bool TFileWriter::RewritePage(const std::string& PageFile, const std::string& DestFile,
                              int64_t Rank, TRefCheck* RefCheck) {
  TPageRewriter& R = Rewriter();
  if (!R.Rewrite(PageFile)) return false;
  if (RefCheck) RefCheck->Note(PageFile, Rank, R.PageText);
  WriteFileAtomic(DestFile, R.PageText, PageFile);
  return true;
}

TFileResult TFileWriter::PlanOtherFile(const std::string& Path,
                                       const std::vector<std::string>& MissingTools) const {
  const std::string Program = PictureOptimiser->ProgramFor(Path);
  TFileResult R = Scan.NewRecord(Path, TFileAction::Copied, TFileReason::NoOptimiser);
  if (!Program.empty()) {
    const bool Missing =
        std::find(MissingTools.begin(), MissingTools.end(), Program) != MissingTools.end();
    R.Action = Missing ? TFileAction::Copied : TFileAction::Optimised;
    R.Reason = Missing ? TFileReason::ToolMissing : TFileReason::None;
    R.Detail = Program;
  } else if (Scan.IsExcepted(Path)) {
    R.Reason = TFileReason::ExceptionFile;
  } else if (!HasOptimiser(Path)) {
    R.Reason = TFileReason::None;
  }
  return R;
}

std::vector<std::string> TFileWriter::FindMissingTools() const {
  std::vector<std::string> Missing;
  const std::pair<bool, const char*> Tools[] = {{Settings.IsCompressJpg, "jpegoptim"},
                                                {Settings.IsCompressGif, "gifsicle"},
                                                {Settings.IsCompressPng, "pngout"}};
  for (const auto& [On, Name] : Tools)
    if (On && FindProgram(Name, ProgramFolder()).empty()) Missing.push_back(Name);
  // The native compressor needs no outside program; the archive needs Java.
  const bool Minifies = Settings.IsCompressHtml || Settings.IsCompressCSS ||
                        Settings.IsCompressJS || Settings.IsCompressXML;
  if (HtmlCompress && Minifies && FindProgram("java", std::string()).empty())
    Missing.push_back("java");
  return Missing;
}

}  // namespace larkspan
