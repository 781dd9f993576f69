#include "engine/uRefCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "engine/uPageText.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/Thread.h"

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

std::vector<TRefHit> TRefScanner::Scan(const std::string& File, std::string_view RawText,
                                       TRefBase Base) const {
  std::vector<TRefHit> Hits;
  if (Extensions.empty()) return Hits;
  // Character references decode to bytes other than line breaks, so the
  // lines stay where they were.
  const std::string Decoded = DecodeCharRefs(RawText);
  const std::string_view Text = Decoded;
  // The file's folder below the root, as segments; for a page with a
  // <base href>, also the base's folder (either reading counts). The
  // segments point into FolderText and BaseText.
  auto Below = [&](std::string& Dir, std::vector<std::string_view>& Segments) {
    if (Dir.compare(0, RootDir.size(), RootDir) != 0) {
      Dir.clear();
      return false;
    }
    Dir.erase(0, RootDir.size());
    SplitInto(Dir, Segments);
    return true;
  };
  const std::string PageDir = ExtractFilePath(File);
  std::string FolderText = PageDir;
  std::vector<std::string_view> Folder;
  Below(FolderText, Folder);
  std::string BaseText;
  std::vector<std::string_view> BaseFolder;
  bool HasBase = false;
  if (Base == TRefBase::File) {
    BaseText = BaseDirOf(RootDir, PageDir, BaseHrefOf(Text), true);
    HasBase = !BaseText.empty() && BaseText != PageDir && Below(BaseText, BaseFolder);
  }
  auto ResolveBoth = [&](std::string_view Ref, std::vector<int>& Found) {
    Resolve(Ref, Folder, Base, Found);
    if (HasBase) Resolve(Ref, BaseFolder, Base, Found);
  };

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
    // However long it is.
    Found.clear();
    int Starts = 0;
    for (size_t I = Dot; I > 0 && Starts < MaxStarts; --I) {
      const unsigned char C = Data[I - 1];
      if (EndsRef(C)) {
        if (I < Dot) ResolveBoth(Text.substr(I, End - I), Found);
        Starts = MaxStarts;
        break;
      }
      if (MayStartRefAfter(C) && I < Dot) {
        ResolveBoth(Text.substr(I, End - I), Found);
        ++Starts;
      }
    }
    if (Starts < MaxStarts) ResolveBoth(Text.substr(0, End), Found);
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
      NameFinder([&] {
        std::vector<std::string> FileNames;
        FileNames.reserve(Duplicates.size());
        for (const std::string& D : Duplicates) FileNames.push_back(ExtractFileName(D));
        return FileNames;
      }()),
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
  for (const TRefHit& Hit : Hits) NoteHit(File, Rank, size_t(Hit.Target), Hit.Line);
}

void TRefCheck::NoteHit(const std::string& File, int64_t Rank, size_t Target, int Line) {
  if (FirstRank[Target] < Rank ||
      (FirstRank[Target] == Rank && First[Target].RefLine <= Line && First[Target].RefLine > 0))
    return;
  FirstRank[Target] = Rank;
  First[Target] = TKeptDuplicate{Names[Target], File, Line};
}

void TRefCheck::NoteMentions(const std::string& File, int64_t Rank, const std::string& ReadFrom,
                             bool Utf16, bool Big) {
  // The file in parts; each part is read together with the last bytes of
  // the one before, so that a mention across the seam is found too.
  constexpr size_t PartSize = size_t(8) << 20;
  constexpr size_t Overlap = 4096;  // longer than any file name with breaks in it
  TFileReader Reader(ReadFrom);
  std::string Part, Carry;
  int Line = 1;  // the line Carry begins on
  bool FirstPart = true;
  std::vector<std::pair<size_t, int>> Hits;  // (target, line)
  int64_t Left = Reader.Size();
  for (bool AtEnd = false; !AtEnd;) {
    // A part as large as what is left of the file (rounded up to be even),
    // not a whole PartSize: most files are small, and a part is zeroed
    // before it is read into. Past the size known at the start (the file
    // grew), a small even part finds the end.
    const size_t Want =
        Left > 0 ? size_t(std::min<int64_t>(int64_t(PartSize), (Left + 1) & ~int64_t(1))) : 4096;
    std::string Chunk(Want, '\0');
    Chunk.resize(Reader.Read(Chunk.data(), Chunk.size()));
    AtEnd = Chunk.size() < Want;  // Read is short only at the end
    Left -= int64_t(Chunk.size());
    if (Chunk.empty()) break;
    if (FirstPart && Chunk.size() >= 2) {
      const auto B0 = static_cast<unsigned char>(Chunk[0]),
                 B1 = static_cast<unsigned char>(Chunk[1]);
      if ((B0 == 0xFF && B1 == 0xFE) || (B0 == 0xFE && B1 == 0xFF)) Utf16 = true, Big = B0 == 0xFE;
    }
    FirstPart = false;
    // PartSize is even, so a UTF-16 part never splits a unit.
    Part = Carry + (Utf16 ? Utf16AsUtf8(Chunk, Big) : Chunk);
    auto IsBreak = [](std::string_view Text, size_t I) {
      return Text[I] == '\n' || (Text[I] == '\r' && (I + 1 >= Text.size() || Text[I + 1] != '\n'));
    };
    // Each mention with the line it ends on, counting forward once.
    auto Look = [&](std::string_view Text) {
      std::vector<TNameFinder::THit> Found = NameFinder.Find(Text);
      std::stable_sort(Found.begin(), Found.end(),
                       [](const auto& A, const auto& B) { return A.End < B.End; });
      size_t Counted = 0;
      int At = Line;
      for (const TNameFinder::THit& H : Found) {
        for (; Counted < H.End && Counted < Text.size(); ++Counted) At += IsBreak(Text, Counted);
        Hits.emplace_back(size_t(H.Name), At);
      }
    };
    Look(Part);
    if (HasEscapes(Part)) Look(PercentDecode(DecodeCharRefs(Part)));
    const size_t Keep = std::min(Overlap, Part.size());
    for (size_t I = 0; I < Part.size() - Keep; ++I) Line += IsBreak(Part, I);
    Carry = Part.substr(Part.size() - Keep);
  }
  std::lock_guard<std::mutex> L(Lock);
  CheckedFiles.insert(File);
  for (const auto& [Target, HitLine] : Hits) NoteHit(File, Rank, Target, HitLine);
}

bool TRefCheck::Checked(const std::string& File) const {
  std::lock_guard<std::mutex> L(Lock);
  return CheckedFiles.count(File) > 0;
}

namespace {

// Whether a file may hold text naming other files: not a picture, a sound,
// a film, a font or an archive, whose bytes never name a file as such.
bool MayNameFiles(const std::string& Path) {
  static const std::unordered_set<std::string> Opaque = {
      ".jpg",  ".jpeg",  ".gif", ".png", ".webp", ".bmp", ".ico", ".avif", ".tif", ".tiff", ".mp3",
      ".mp4",  ".m4a",   ".m4v", ".ogg", ".oga",  ".ogv", ".wav", ".webm", ".avi", ".mov",  ".flac",
      ".woff", ".woff2", ".ttf", ".otf", ".eot",  ".zip", ".gz",  ".bz2",  ".xz",  ".7z",   ".rar"};
  return Opaque.count(LowerCaseAscii(ExtractFileExt(Path))) == 0;
}

}  // namespace

void NoteSiteReferences(TRefCheck& Check, const std::vector<std::string>& Pages,
                        const std::vector<const std::vector<std::string>*>& OtherLists,
                        TCodePage PageCodePage, int Jobs, const std::function<void()>& BeforeEach) {
  // Files whose references are known are read for them: a picture of the
  // same name in another folder does not count. Each file's rank decides
  // which reference is reported first.
  enum class TLookKind { Page, Text, Other };
  struct TLook {
    const std::string* File;
    int64_t Rank;
    TLookKind Kind;
  };
  std::vector<TLook> Looks;
  int64_t Rank = 0;
  for (const std::string& Page : Pages) {
    if (!Check.Checked(Page)) Looks.push_back({&Page, Rank, TLookKind::Page});
    ++Rank;
  }
  for (const auto* List : OtherLists)
    for (const std::string& File : *List) {
      if (IsReferringTextFile(File, nullptr))
        Looks.push_back({&File, Rank, TLookKind::Text});
      else if (MayNameFiles(File))
        Looks.push_back({&File, Rank, TLookKind::Other});
      ++Rank;
    }
  ParallelFor(
      Looks.size(), Jobs,
      [&](int, size_t I) {
        if (BeforeEach) BeforeEach();
        const TLook& L = Looks[I];
        if (L.Kind == TLookKind::Other) {
          Check.NoteMentions(*L.File, L.Rank, *L.File);
          return;
        }
        const std::string Bytes = ReadFileText(*L.File);
        bool Big = false;
        // The site's code page decides for pages; other files are
        // read as UTF-16 by their own signs alone.
        if (IsUtf16Page(Bytes, L.Kind == TLookKind::Page ? PageCodePage : TCodePage::Utf8, Big))
          Check.Note(*L.File, L.Rank, Utf16AsUtf8(Bytes, Big));
        else
          Check.Note(*L.File, L.Rank, Bytes);
      },
      {});
}

}  // namespace larkspan
