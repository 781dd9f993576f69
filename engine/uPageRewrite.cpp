// Reference rewriting: pages that refer to a left-out duplicate picture are
// written referring to the picture that was kept.
//
// A page is parsed twice: image tags first, then link tags, each pass over
// the text as the previous pass left it. Every change replaces the text of
// one tag in PageText; TextOffset keeps the positions of the later tags of
// the pass right.
#include <cstring>
#include <string_view>

#include "engine/uWebFilesMgr.h"
#include "htmlparser/clHtmlParser.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

// The page text: the bytes split into lines at CR LF, lone CR and lone LF,
// every line followed by CR LF (the last one too). Empty for empty bytes.
std::string PageTextOf(std::string_view Bytes) {
  std::string Text;
  Text.reserve(Bytes.size() + Bytes.size() / 64 + 2);
  const size_t N = Bytes.size();
  size_t Start = 0;
  for (size_t I = 0; I < N; ++I) {
    const char C = Bytes[I];
    if (C != '\n' && C != '\r') continue;
    Text.append(Bytes.data() + Start, I - Start);
    Text += "\r\n";
    if (C == '\r' && I + 1 < N && Bytes[I + 1] == '\n') ++I;
    Start = I + 1;
  }
  if (Start < N) {
    Text.append(Bytes.data() + Start, N - Start);
    Text += "\r\n";
  }
  return Text;
}

// Bytes the parser leaves out of a tag's SourceText: TAB, CR, LF and "<"
// anywhere, and a "/" right before the ">" (the last byte of the tag text).
inline bool LeftOutOfSource(std::string_view Raw, size_t I) {
  const char C = Raw[I];
  return C == '\t' || C == '\r' || C == '\n' || C == '<' || (C == '/' && I + 1 == Raw.size());
}

// Raw without the bytes the parser leaves out, and where each kept byte
// stands in Raw.
std::string SourceOf(std::string_view Raw, std::vector<size_t>* Where = nullptr) {
  std::string Source;
  Source.reserve(Raw.size());
  for (size_t I = 0; I < Raw.size(); ++I) {
    if (LeftOutOfSource(Raw, I)) continue;
    Source.push_back(Raw[I]);
    if (Where) Where->push_back(I);
  }
  return Source;
}

// Raw, a tag's bytes, with every occurrence of Old in its SourceText
// (ignoring letter case, left to right, not overlapping) replaced by New.
// Bytes left out of the SourceText stay where they are, except those inside
// a replaced occurrence.
std::string ReplaceInTag(const std::string& Raw, std::string_view Old, std::string_view New) {
  std::vector<size_t> Where;
  const std::string Source = SourceOf(Raw, &Where);
  size_t Found = FindText(Source, Old);
  if (Found == std::string::npos) return Raw;
  std::string Result;
  Result.reserve(Raw.size() + New.size());
  size_t Copied = 0;  // bytes of Raw already in Result
  while (Found != std::string::npos) {
    const size_t First = Where[Found];
    const size_t Last = Where[Found + Old.size() - 1];
    Result.append(Raw, Copied, First - Copied);
    Result.append(New);
    Copied = Last + 1;
    Found = FindText(Source, Old, Found + Old.size());
  }
  Result.append(Raw, Copied, std::string::npos);
  return Result;
}

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

// Clears the parser's handlers however a pass ends.
struct THandlerGuard {
  TclHtmlParser& Parser;
  ~THandlerGuard() {
    Parser.OnParseImage = nullptr;
    Parser.OnParseLink = nullptr;
  }
};

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

void TWebFilsMgr::RefreshFolderRefs() {
  if (RefsDir == CurPageDir && int(DuplicateRefs.size()) == DetailList.Count()) return;
  RefsDir = CurPageDir;
  DuplicateRefs.clear();
  MasterRefs.clear();
  for (int I = 0; I < DetailList.Count(); ++I) {
    const TDetailItm* Item = DetailList.Objects(I);
    DuplicateRefs.push_back(PathToRef(CurPageDir, Item->FileName));
    MasterRefs.push_back(
        PathToRef(CurPageDir, MasterList[size_t(Item->MasterIndex)].second->FileName));
  }
}

bool TWebFilsMgr::LocateTag(const TclHtmlTag* Tag, size_t& Start, size_t& Length) const {
  const std::string& Source = Tag->SourceText;
  if (Tag->ContentPos < 2 || size_t(Tag->ContentPos) - 1 > ParseText.size()) return false;
  const size_t Close = size_t(Tag->ContentPos) - 2;  // the tag's ">"
  if (ParseText[Close] != '>') return false;
  // Most tags are written as their SourceText says.
  if (Close > Source.size() && ParseText[Close - Source.size() - 1] == '<' &&
      ParseText.compare(Close - Source.size(), Source.size(), Source) == 0) {
    Start = Close - Source.size();
    Length = Source.size();
    return true;
  }
  // Otherwise the tag opens at the first "<" after the ">" before it: a tag
  // ends at its first ">", and a "<" inside a tag opens nothing.
  const char* Text = ParseText.data();
  size_t From = 0;
  if (const void* Previous = memrchr(Text, '>', Close))
    From = size_t(static_cast<const char*>(Previous) - Text) + 1;
  const void* Open = std::memchr(Text + From, '<', Close - From);
  if (!Open) return false;
  Start = size_t(static_cast<const char*>(Open) - Text) + 1;
  Length = Close - Start;
  return SourceOf(std::string_view(ParseText).substr(Start, Length)) == Source;
}

void TWebFilsMgr::ReplaceTagText(size_t Start, size_t Length, const std::string& Text) {
  PageText.replace(Start - size_t(TextOffset), Length, Text);
  TextOffset += int(Length) - int(Text.size());
}

void TWebFilsMgr::HtmlParserParseImage(TObject* Sender, TclHtmlImage* Image) {
  const std::string R = Image->Src();
  if (R.empty()) return;
  const int Index = DetailList.IndexOf(RefToPath(CurPageDir, R));
  if (Index < 0) return;
  const std::string& M = MasterRefs[size_t(Index)];
  size_t Start = 0, Length = 0;
  if (!LocateTag(Image, Start, Length)) return;  // left as written; the check keeps the picture
  const std::string Raw = ParseText.substr(Start, Length);
  std::string T = ReplaceInTag(Raw, "src=\"" + R + "\"", "src=\"" + M + "\"");
  if (T.find('\'') != std::string::npos) T = ReplaceInTag(T, "src='" + R + "'", "src='" + M + "'");
  if (T != Raw) ReplaceTagText(Start, Length, T);
}

void TWebFilsMgr::HtmlParserParseLink(TObject* Sender, TclHtmlLink* Link) {
  const std::string& Source = Link->SourceText;
  bool Found = false;
  size_t Start = 0, Length = 0;
  std::string Raw, T;
  for (size_t I = 0; I < DuplicateRefs.size(); ++I) {
    const std::string& D = DuplicateRefs[I];
    if (Source.find(D) == std::string::npos) continue;
    if (!Found) {
      if (!LocateTag(Link, Start, Length)) return;
      Raw = ParseText.substr(Start, Length);
      T = Raw;
      Found = true;
    }
    const std::string& M = MasterRefs[I];
    T = ReplaceInTag(T, "\"" + D + "\"", "\"" + M + "\"");
    T = ReplaceInTag(T, "'" + D + "'", "'" + M + "'");
  }
  if (Found && T != Raw) ReplaceTagText(Start, Length, T);
}

void TWebFilsMgr::RewritePage(const std::string& PageFile, const std::string& DestFile) {
  CurPageDir = ExtractFilePath(PageFile);
  PageText = PageTextOf(ReadFileText(PageFile));
  RefreshFolderRefs();

  THandlerGuard Guard{*HtmlParser};
  auto RunPass = [this] {
    TextOffset = 0;
    ParseText = PageText;
    HtmlParser->Parse(ParseText);
    // The next pass reads the lines of the changed text (the same text
    // unless a master's name holds a line break).
    if (PageText != ParseText) PageText = PageTextOf(PageText);
  };
  HtmlParser->OnParseImage = [this](TObject* Sender, TclHtmlImage* Image) {
    HtmlParserParseImage(Sender, Image);
  };
  HtmlParser->OnParseLink = nullptr;
  RunPass();
  HtmlParser->OnParseImage = nullptr;
  HtmlParser->OnParseLink = [this](TObject* Sender, TclHtmlLink* Link) {
    HtmlParserParseLink(Sender, Link);
  };
  RunPass();
  ParseText.clear();

  NoteReferences(PageFile, PageText);
  WriteFileAtomic(DestFile, PageText);
}

}  // namespace larkspan
