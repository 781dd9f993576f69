#include "engine/uRefCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

const char* const FileRelativeExts[] = {
    "htm",  "html",  "xhtml", "shtml", "shtm", "stm",  "php",        "php3", "php4",
    "php5", "phtml", "asp",   "aspx",  "ascx", "ashx", "cshtml",     "jsp",  "jspx",
    "cfm",  "css",   "scss",  "sass",  "less", "svg",  "webmanifest"};
const char* const LoaderRelativeExts[] = {"js",     "mjs",   "cjs", "jsx", "ts",   "vue", "json",
                                          "jsonld", "jsonp", "xml", "xsl", "xslt", "rss", "atom",
                                          "txt",    "md",    "csv", "htc", "tpl",  "inc"};

inline bool IsAlnum(unsigned char C) {
  return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
}

// Bytes that end a reference: they cannot stand in one unescaped. All lie
// below 0x40, so none is the second byte of a double-byte character.
inline bool EndsRef(unsigned char C) {
  return C == '"' || C == '\'' || C == '<' || C == '>' || C == '\r' || C == '\n' || C == '\t' ||
         C == 0;
}

// Bytes a reference may start right after (a blank in srcset, "(" in url(),
// "=" in an unquoted value or a query, "," in a list...). A file name may
// hold some of them too, so a reference is also tried from further back.
inline bool MayStartRefAfter(unsigned char C) {
  return C == ' ' || C == '(' || C == ')' || C == '=' || C == ',' || C == ':' || C == ';' ||
         C == '?' || C == '&' || C == '#' || C == '!' || C == '*' || C == '+' || C == '$' ||
         C == '@' || C == '`' || C == '[' || C == ']' || C == '{' || C == '}' || C == '|' ||
         C == '\\' || C == '^';
}

constexpr size_t MaxRefLength = 1024;
constexpr int MaxStarts = 16;

void SplitInto(std::string_view Path, std::vector<std::string_view>& Segments) {
  size_t Start = 0;
  while (Start <= Path.size()) {
    size_t End = Path.find('/', Start);
    if (End == std::string_view::npos) End = Path.size();
    const std::string_view Segment = Path.substr(Start, End - Start);
    if (Segment.empty() || Segment == ".") {
    } else if (Segment == "..") {
      if (!Segments.empty()) Segments.pop_back();
    } else {
      Segments.push_back(Segment);
    }
    Start = End + 1;
  }
}

}  // namespace

bool IsReferringTextFile(std::string_view FileName, TRefBase* Base) {
  std::string Ext = LowerCaseAscii(ExtractFileExt(FileName));
  if (Ext.empty()) return false;
  Ext.erase(0, 1);
  for (const char* E : FileRelativeExts)
    if (Ext == E) {
      if (Base) *Base = TRefBase::File;
      return true;
    }
  for (const char* E : LoaderRelativeExts)
    if (Ext == E) {
      if (Base) *Base = TRefBase::Loader;
      return true;
    }
  return false;
}

TRefScanner::TRefScanner(const std::string& Root, const std::vector<std::string>& Targets)
    : RootDir(IncludeTrailingDelimiter(Root)) {
  for (int I = 0; I < int(Targets.size()); ++I) {
    const std::string& Target = Targets[size_t(I)];
    if (Target.size() <= RootDir.size() || Target.compare(0, RootDir.size(), RootDir) != 0)
      continue;
    std::string Ext = LowerCaseAscii(ExtractFileExt(Target));
    if (Ext.size() < 2) continue;
    Ext.erase(0, 1);
    if (std::find(Extensions.begin(), Extensions.end(), Ext) == Extensions.end())
      Extensions.push_back(Ext);
    const std::string Relative = LowerCaseAscii(std::string_view(Target).substr(RootDir.size()));
    ByPath[Relative].push_back(I);
    for (size_t Start = 0; Start != std::string::npos;) {
      ByTail[Relative.substr(Start)].push_back(I);
      const size_t Slash = Relative.find('/', Start);
      Start = Slash == std::string::npos ? Slash : Slash + 1;
    }
  }
}

void TRefScanner::Resolve(std::string_view Ref, const std::vector<std::string_view>& Folder,
                          TRefBase Base, std::vector<int>& Found) const {
  std::string Path;
  Path.reserve(Ref.size());
  for (size_t I = 0; I < Ref.size(); ++I) {
    const unsigned char C = Ref[I];
    if (C == '\\' && I + 1 < Ref.size() && Ref[I + 1] == '/') continue;  // "\/" in JSON
    if (C == '%' && I + 2 < Ref.size() && HexDigitValue(Ref[I + 1]) >= 0 &&
        HexDigitValue(Ref[I + 2]) >= 0) {
      Path.push_back(char(HexDigitValue(Ref[I + 1]) * 16 + HexDigitValue(Ref[I + 2])));
      I += 2;
      continue;
    }
    Path.push_back(char(C));
  }
  std::string_view P = Path;
  bool FromRoot = false;
  // A full URL ("scheme://host/path") or "//host/path": its path, from the root.
  size_t Scheme = 0;
  if (!P.empty() && IsAlnum(P[0]) && !(P[0] >= '0' && P[0] <= '9')) {
    while (Scheme < P.size() &&
           (IsAlnum(P[Scheme]) || P[Scheme] == '+' || P[Scheme] == '-' || P[Scheme] == '.'))
      ++Scheme;
    if (P.substr(Scheme, 3) == "://") P.remove_prefix(Scheme + 1);
  }
  if (P.substr(0, 2) == "//") {
    const size_t Slash = P.find('/', 2);
    if (Slash == std::string_view::npos) return;
    P.remove_prefix(Slash);
  }
  if (!P.empty() && P[0] == '/') FromRoot = true;

  std::vector<std::string_view> Segments;
  if (!FromRoot && Base == TRefBase::File) Segments = Folder;
  SplitInto(P, Segments);
  if (Segments.empty()) return;
  std::string Key;
  for (const std::string_view& S : Segments) {
    if (!Key.empty()) Key.push_back('/');
    Key.append(S);
  }
  Key = LowerCaseAscii(Key);
  const auto& Map = (FromRoot || Base == TRefBase::File) ? ByPath : ByTail;
  const auto It = Map.find(Key);
  if (It != Map.end()) Found.insert(Found.end(), It->second.begin(), It->second.end());
}

std::vector<TRefHit> TRefScanner::Scan(const std::string& File, std::string_view Text,
                                       TRefBase Base) const {
  std::vector<TRefHit> Hits;
  if (Extensions.empty()) return Hits;
  // The file's folder below the root, as segments.
  std::string FolderText = ExtractFilePath(File);
  if (FolderText.compare(0, RootDir.size(), RootDir) == 0)
    FolderText.erase(0, RootDir.size());
  else
    FolderText.clear();
  std::vector<std::string_view> Folder;
  SplitInto(FolderText, Folder);

  const char* Data = Text.data();
  const size_t N = Text.size();
  size_t LinePos = 0;
  int Line = 1;
  std::vector<int> Found;
  for (size_t Pos = 0; Pos < N;) {
    const void* DotPtr = std::memchr(Data + Pos, '.', N - Pos);
    if (!DotPtr) break;
    const size_t Dot = size_t(static_cast<const char*>(DotPtr) - Data);
    Pos = Dot + 1;
    size_t End = 0;
    for (const std::string& Ext : Extensions) {
      const size_t After = Dot + 1 + Ext.size();
      if (After > N) continue;
      size_t K = 0;
      while (K < Ext.size() && LoCaseAscii(Data[Dot + 1 + K]) == Ext[K]) ++K;
      if (K < Ext.size()) continue;
      if (After < N && IsAlnum(static_cast<unsigned char>(Data[After]))) continue;
      End = After;
      break;
    }
    if (End == 0 || Dot == 0) continue;

    // Try the reference from every place it may start, back to a byte that
    // cannot be in one.
    Found.clear();
    const size_t Limit = Dot > MaxRefLength ? Dot - MaxRefLength : 0;
    int Starts = 0;
    for (size_t I = Dot; I > Limit && Starts < MaxStarts; --I) {
      const unsigned char C = Data[I - 1];
      if (EndsRef(C)) {
        if (I < Dot) Resolve(Text.substr(I, End - I), Folder, Base, Found);
        Starts = MaxStarts;
        break;
      }
      if (MayStartRefAfter(C) && I < Dot) {
        Resolve(Text.substr(I, End - I), Folder, Base, Found);
        ++Starts;
      }
    }
    if (Starts < MaxStarts && Limit == 0) Resolve(Text.substr(0, End), Folder, Base, Found);
    if (Found.empty()) continue;

    std::sort(Found.begin(), Found.end());
    Found.erase(std::unique(Found.begin(), Found.end()), Found.end());
    for (; LinePos < Dot; ++LinePos) {
      const char C = Data[LinePos];
      if (C == '\n' || (C == '\r' && (LinePos + 1 >= N || Data[LinePos + 1] != '\n'))) ++Line;
    }
    for (int Target : Found) Hits.push_back(TRefHit{Target, Line});
  }
  return Hits;
}

// ---- the run's check -------------------------------------------------------

TRefCheck::TRefCheck(const std::string& Root, const std::vector<std::string>& Duplicates)
    : Scanner(Root, Duplicates),
      Names(Duplicates),
      First(Duplicates.size()),
      FirstRank(Duplicates.size(), INT64_MAX) {}

void TRefCheck::Note(const std::string& File, int64_t Rank, std::string_view Text) {
  TRefBase Base = TRefBase::File;
  IsReferringTextFile(File, &Base);
  const std::vector<TRefHit> Hits = Scanner.Scan(File, Text, Base);
  std::lock_guard<std::mutex> L(Lock);
  CheckedFiles.insert(File);
  // Hits come in text order: the first one of a target is its first line.
  for (const TRefHit& Hit : Hits) {
    const size_t Target = size_t(Hit.Target);
    if (FirstRank[Target] <= Rank) continue;
    FirstRank[Target] = Rank;
    First[Target] = TKeptDuplicate{Names[Target], File, Hit.Line};
  }
}

bool TRefCheck::Checked(const std::string& File) const {
  std::lock_guard<std::mutex> L(Lock);
  return CheckedFiles.count(File) > 0;
}

}  // namespace larkspan
