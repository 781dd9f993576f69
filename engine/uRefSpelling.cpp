#include "engine/uRefSpelling.h"

#include <algorithm>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

// Named character references that may stand in a path.
const std::pair<const char*, char> NamedRefs[] = {
    {"amp", '&'},    {"period", '.'}, {"sol", '/'},    {"lowbar", '_'}, {"hyphen", '-'},
    {"dash", '-'},   {"colon", ':'},  {"percnt", '%'}, {"num", '#'},    {"quest", '?'},
    {"equals", '='}, {"plus", '+'},   {"comma", ','},  {"tilde", '~'},  {"apos", '\''},
    {"quot", '"'},   {"lt", '<'},     {"gt", '>'},     {"nbsp", ' '}};

void AppendUtf8(std::string& Out, uint32_t C) {
  if (C < 0x80) {
    Out += char(C);
  } else if (C < 0x800) {
    Out += char(0xC0 | C >> 6);
    Out += char(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += char(0xE0 | C >> 12);
    Out += char(0x80 | (C >> 6 & 0x3F));
    Out += char(0x80 | (C & 0x3F));
  } else {
    Out += char(0xF0 | C >> 18);
    Out += char(0x80 | (C >> 12 & 0x3F));
    Out += char(0x80 | (C >> 6 & 0x3F));
    Out += char(0x80 | (C & 0x3F));
  }
}

// The length of the character reference at Text[I] ("&" there) and its
// decoded bytes in Out; 0 when there is none to decode.
size_t CharRefAt(std::string_view Text, size_t I, std::string& Out) {
  if (I + 2 >= Text.size()) return 0;
  if (Text[I + 1] == '#') {
    const bool Hex = Text[I + 2] == 'x' || Text[I + 2] == 'X';
    size_t J = I + (Hex ? 3 : 2);
    uint32_t Code = 0;
    const size_t Digits = J;
    for (; J < Text.size() && J - Digits < 8; ++J) {
      const int V = HexDigitValue(Text[J]);
      if (V < 0 || (!Hex && V > 9)) break;
      Code = Code * (Hex ? 16 : 10) + uint32_t(V);
    }
    if (J == Digits || Code < 0x20 || Code == 0x7F || Code > 0x10FFFF) return 0;
    if (J < Text.size() && Text[J] == ';') ++J;
    Out.clear();
    AppendUtf8(Out, Code);
    return J - I;
  }
  for (const auto& [Name, C] : NamedRefs) {
    const size_t L = std::strlen(Name);
    if (Text.compare(I + 1, L, Name) == 0 && I + 1 + L < Text.size() && Text[I + 1 + L] == ';') {
      Out.assign(1, C);
      return L + 2;
    }
  }
  return 0;
}

bool IsPercentEscape(std::string_view Text, size_t I) {
  return Text[I] == '%' && I + 2 < Text.size() && HexDigitValue(Text[I + 1]) >= 0 &&
         HexDigitValue(Text[I + 2]) >= 0;
}

// Appends Path's segments to Segments, folding "." and ".."; false when a
// ".." climbs above the first segment.
bool FoldInto(std::string_view Path, std::vector<std::string>& Segments) {
  size_t Start = 0;
  while (Start <= Path.size()) {
    size_t End = Path.find('/', Start);
    if (End == std::string_view::npos) End = Path.size();
    const std::string_view S = Path.substr(Start, End - Start);
    if (S == "..") {
      if (Segments.empty()) return false;
      Segments.pop_back();
    } else if (!S.empty() && S != ".") {
      Segments.emplace_back(S);
    }
    Start = End + 1;
  }
  return true;
}

// Where the scheme of Ref ends (the ":" of "http:"), npos when it has none.
size_t SchemeEnd(std::string_view Ref) {
  const size_t Colon = Ref.find(':');
  if (Colon == std::string_view::npos || Colon == 0) return std::string_view::npos;
  return Ref.find_first_of("/?#") < Colon ? std::string_view::npos : Colon;
}

inline bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

// The raw value of the href attribute in Tag (the text of a tag after its
// name), quoted or not; empty when it has none.
std::string HrefIn(std::string_view Tag) {
  for (size_t H = FindText(Tag, "href"); H != std::string_view::npos;
       H = FindText(Tag, "href", H + 1)) {
    if (H > 0 && !IsBlank(Tag[H - 1]) && Tag[H - 1] != '/') continue;
    size_t J = H + 4;
    while (J < Tag.size() && IsBlank(Tag[J])) ++J;
    if (J >= Tag.size() || Tag[J] != '=') continue;
    ++J;
    while (J < Tag.size() && IsBlank(Tag[J])) ++J;
    if (J >= Tag.size()) return std::string();
    if (Tag[J] == '"' || Tag[J] == '\'') {
      const size_t End = Tag.find(Tag[J], J + 1);
      return std::string(Tag.substr(J + 1, End == std::string_view::npos ? End : End - J - 1));
    }
    size_t End = J;
    while (End < Tag.size() && !IsBlank(Tag[End])) ++End;
    return std::string(Tag.substr(J, End - J));
  }
  return std::string();
}

}  // namespace

std::string DecodeCharRefs(std::string_view Text) {
  std::string Out, Ref;
  Out.reserve(Text.size());
  size_t Copied = 0;
  for (size_t I = Text.find('&'); I != std::string_view::npos; I = Text.find('&', I + 1)) {
    const size_t L = CharRefAt(Text, I, Ref);
    if (L == 0) continue;
    Out.append(Text, Copied, I - Copied);
    Out += Ref;
    Copied = I + L;
    I = Copied - 1;
  }
  Out.append(Text, Copied);
  return Out;
}

std::string PercentDecode(std::string_view Text) {
  std::string Out;
  Out.reserve(Text.size());
  for (size_t I = 0; I < Text.size(); ++I) {
    if (IsPercentEscape(Text, I)) {
      Out += char(HexDigitValue(Text[I + 1]) * 16 + HexDigitValue(Text[I + 2]));
      I += 2;
    } else {
      Out += Text[I];
    }
  }
  return Out;
}

bool HasEscapes(std::string_view Text) {
  std::string Ref;
  for (size_t I = 0; I < Text.size(); ++I)
    if ((Text[I] == '&' && CharRefAt(Text, I, Ref) > 0) || IsPercentEscape(Text, I)) return true;
  return false;
}

std::string BaseHrefOf(std::string_view Page) {
  // Every "<" is looked at (memchr), "base" compared there: a page is one
  // long text and most of its "<" open other tags.
  auto BaseAt = [&](size_t I) {
    for (size_t K = 0; K < 4; ++K)
      if (I + 1 + K >= Page.size() || LoCaseAscii(Page[I + 1 + K]) != "base"[K]) return false;
    const size_t After = I + 5;
    return After >= Page.size() || !std::isalnum(static_cast<unsigned char>(Page[After]));
  };
  const char* P = Page.data();
  for (size_t I = 0; I < Page.size(); ++I) {
    const void* Open = std::memchr(P + I, '<', Page.size() - I);
    if (!Open) break;
    I = size_t(static_cast<const char*>(Open) - P);
    if (!BaseAt(I)) continue;
    const size_t Close = Page.find('>', I + 5);
    // The first base tag decides, with or without href.
    return HrefIn(Page.substr(
        I + 5, Close == std::string_view::npos ? std::string_view::npos : Close - I - 5));
  }
  return std::string();
}

std::string ResolveRef(std::string_view Ref, const std::string& Root, const std::string& Dir,
                       TRefStyle* Style) {
  TRefStyle S;
  // The query and fragment, as written; a "#" of a character reference is
  // not a fragment.
  size_t Cut = Ref.find('?');
  for (size_t H = Ref.find('#'); H != std::string_view::npos && H < Cut; H = Ref.find('#', H + 1))
    if (H == 0 || Ref[H - 1] != '&') {
      Cut = H;
      break;
    }
  if (Cut != std::string_view::npos) S.Suffix = std::string(Ref.substr(Cut));
  const std::string Unescaped = DecodeCharRefs(Ref.substr(0, Cut));
  const std::string_view Raw = Unescaped;
  if (Raw.empty() || SchemeEnd(Raw) != std::string_view::npos || Raw.substr(0, 2) == "//")
    return std::string();
  for (size_t I = 0; I < Raw.size(); ++I) S.Percent = S.Percent || IsPercentEscape(Raw, I);
  // A browser reads a "\\" as "/", a server an escaped one ("%5C") as a
  // byte of the name: only the first is refused.
  if (Raw.find('\\') != std::string_view::npos) return std::string();
  const std::string Path = PercentDecode(Raw);
  if (Path.find('\0') != std::string::npos) return std::string();
  S.Rooted = Path[0] == '/';
  S.DotSlash = Path.compare(0, 2, "./") == 0;
  std::vector<std::string> Segments;
  if (!S.Rooted) {
    if (Dir.empty() || !StartsText(Root, Dir) || Dir.size() < Root.size()) return std::string();
    FoldInto(std::string_view(Dir).substr(Root.size()), Segments);
  }
  if (!FoldInto(Path, Segments) || Segments.empty()) return std::string();
  std::string Full = Root;
  for (size_t I = 0; I < Segments.size(); ++I) {
    if (I) Full += PathDelim;
    Full += Segments[I];
  }
  if (Path.back() == '/') return std::string();  // a folder
  if (Style) *Style = std::move(S);
  return Full;
}

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

std::string PathToRef(const std::string& Folder, const std::string& Path) {
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

std::string SpellRef(const std::string& Root, const std::string& Dir, const std::string& Path,
                     const TRefStyle& Style) {
  std::string Ref;
  if (Style.Rooted || Dir.empty()) {
    Ref = "/" + Path.substr(std::min(Root.size(), Path.size()));
  } else {
    Ref = PathToRef(Dir, Path);
    if (Style.DotSlash && Ref.compare(0, 3, "../") != 0) Ref.insert(0, "./");
  }
  std::string Out;
  Out.reserve(Ref.size() + Style.Suffix.size());
  static const char Hex[] = "0123456789ABCDEF";
  for (const char C : Ref) {
    const auto B = static_cast<unsigned char>(C);
    const bool Encode = B < 0x20 || B == 0x7F || C == '"' || C == '\'' || C == '<' || C == '>' ||
                        C == '#' || C == '?' || C == '%' || C == '\\' ||
                        (Style.Percent && (C == ' ' || B >= 0x80));
    if (Encode) {
      Out += '%';
      Out += Hex[B >> 4];
      Out += Hex[B & 15];
    } else if (C == '&') {
      Out += "&amp;";
    } else {
      Out += C;
    }
  }
  // A ":" before the first "/" would make the reference a scheme.
  const size_t Colon = Out.find(':');
  if (Colon != std::string::npos && Colon < Out.find('/')) Out.insert(0, "./");
  return Out + Style.Suffix;
}

std::string BaseDirOf(const std::string& Root, const std::string& PageDir,
                      std::string_view BaseHref, bool AllowHost) {
  std::string Href = DecodeCharRefs(BaseHref);
  const size_t B = Href.find_first_not_of(" \t\r\n");
  if (B == std::string::npos) return PageDir;
  Href.erase(0, B);
  while (!Href.empty() && (Href.back() == ' ' || Href.back() == '\t')) Href.pop_back();
  Href = Href.substr(0, Href.find_first_of("?#"));
  std::string_view H = Href;
  if (const size_t Colon = SchemeEnd(H); Colon != std::string_view::npos) {
    if (!AllowHost) return std::string();
    H.remove_prefix(Colon + 1);
    if (H.substr(0, 2) != "//") return std::string();  // "javascript:" and the like
  }
  if (H.substr(0, 2) == "//") {
    if (!AllowHost) return std::string();
    const size_t Slash = H.find('/', 2);
    H = Slash == std::string_view::npos ? std::string_view("/") : H.substr(Slash);
  }
  // The base's folder: what comes before its last "/".
  const size_t Last = H.rfind('/');
  if (Last == std::string_view::npos) return PageDir;
  const std::string Folder = std::string(H.substr(0, Last + 1)) + "x";
  const std::string Resolved = ResolveRef(Folder, Root, PageDir);
  if (Resolved.empty()) return Folder == "/x" ? Root : std::string();
  return ExtractFilePath(Resolved);
}

// ---- TNameFinder ------------------------------------------------------------

TNameFinder::TNameFinder(const std::vector<std::string>& Names) : Trie(1) {
  for (int I = 0; I < int(Names.size()); ++I) {
    const std::string Name = LowerCaseAscii(Names[size_t(I)]);
    if (Name.empty()) continue;
    ++Count;
    const size_t Dot = Name.rfind('.');
    if (Dot == std::string::npos || Dot + 1 == Name.size()) {
      Bare.emplace_back(Name, I);
      continue;
    }
    const std::string Ext = Name.substr(Dot);
    if (std::find(Extensions.begin(), Extensions.end(), Ext) == Extensions.end())
      Extensions.push_back(Ext);
    int Node = 0;
    for (size_t K = Name.size(); K-- > 0;) {
      auto& Next = Trie[size_t(Node)].Next;
      auto It =
          std::find_if(Next.begin(), Next.end(), [&](const auto& E) { return E.first == Name[K]; });
      if (It == Next.end()) {
        Next.emplace_back(Name[K], int(Trie.size()));
        Node = int(Trie.size());
        Trie.emplace_back();
      } else {
        Node = It->second;
      }
    }
    Trie[size_t(Node)].Names.push_back(I);
  }
}

std::vector<TNameFinder::THit> TNameFinder::Find(std::string_view Text, bool FirstOnly) const {
  std::vector<THit> Hits;
  auto Skipped = [](char C) { return C == '\t' || C == '\r' || C == '\n' || C == '<'; };
  const char* P = Text.data();
  const size_t N = Text.size();
  std::vector<size_t> Ends;
  for (size_t Pos = 0; Pos < N && !Extensions.empty();) {
    const void* DotPtr = std::memchr(P + Pos, '.', N - Pos);
    if (!DotPtr) break;
    const size_t Dot = size_t(static_cast<const char*>(DotPtr) - P);
    Pos = Dot + 1;
    Ends.clear();
    for (const std::string& Ext : Extensions) {
      size_t At = Dot + 1, K = 1;
      while (K < Ext.size() && At < N) {
        if (Skipped(P[At])) {
          ++At;
        } else if (LoCaseAscii(P[At]) == Ext[K]) {
          ++At, ++K;
        } else {
          break;
        }
      }
      if (K == Ext.size() && std::find(Ends.begin(), Ends.end(), At) == Ends.end())
        Ends.push_back(At);
    }
    for (const size_t End : Ends) {
      int Node = 0;
      for (size_t J = End; J > 0 && Node >= 0; --J) {
        const char C = P[J - 1];
        if (Skipped(C)) continue;
        const auto& Next = Trie[size_t(Node)].Next;
        const char L = LoCaseAscii(C);
        auto It =
            std::find_if(Next.begin(), Next.end(), [&](const auto& E) { return E.first == L; });
        Node = It == Next.end() ? -1 : It->second;
        if (Node < 0) break;
        for (const int Name : Trie[size_t(Node)].Names) {
          Hits.push_back(THit{Name, End});
          if (FirstOnly) return Hits;
        }
      }
    }
  }
  for (const auto& [Name, Index] : Bare)
    for (size_t At = FindText(Text, Name); At != std::string_view::npos;
         At = FindText(Text, Name, At + 1)) {
      Hits.push_back(THit{Index, At + Name.size()});
      if (FirstOnly) return Hits;
    }
  return Hits;
}

}  // namespace larkspan
