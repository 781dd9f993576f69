#include "engine/uPageRewriter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/uPageText.h"
#include "engine/uWebFilesMgr.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

namespace larkspan {

namespace {

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

// Clears the parser's handlers however a pass ends.
struct THandlerGuard {
  TclHtmlParser& Parser;
  ~THandlerGuard() {
    Parser.OnParseImage = nullptr;
    Parser.OnParseLink = nullptr;
  }
};

}  // namespace

TPageRewriter::TPageRewriter(const TWebFilsMgr& AEngine, TCodePage ACodePage)
    : Engine(AEngine), CodePage(ACodePage) {}

void TPageRewriter::RefreshFolderRefs() {
  if (RefsDir == CurPageDir && int(DuplicateRefs.size()) == Engine.DetailList.Count()) return;
  RefsDir = CurPageDir;
  DuplicateRefs.clear();
  DuplicateRefEnds.clear();
  MasterRefs.clear();
  MasterRefsPlain = true;
  for (int I = 0; I < Engine.DetailList.Count(); ++I) {
    const TDetailItm* Item = Engine.DetailList.Objects(I);
    DuplicateRefs.push_back(TWebFilsMgr::PathToRef(CurPageDir, Item->FileName));
    MasterRefs.push_back(TWebFilsMgr::PathToRef(
        CurPageDir, Engine.MasterList[size_t(Item->MasterIndex)].second->FileName));
    if (MasterRefs.back().find_first_of("<>\r\n") != std::string::npos) MasterRefsPlain = false;
  }
  DuplicateRefLengths.clear();
  DuplicateRefIndex.clear();
  LowerDuplicateRefs.clear();
  LowerDuplicateRefLengths.clear();
  DuplicateRefExts.clear();
  bool EveryRefHasExt = true;
  for (size_t I = 0; I < DuplicateRefs.size(); ++I) {
    const std::string& D = DuplicateRefs[I];
    if (D.empty()) continue;
    auto AddLower = [this](std::string Ref, int Index) {
      if (std::find(LowerDuplicateRefLengths.begin(), LowerDuplicateRefLengths.end(), Ref.size()) ==
          LowerDuplicateRefLengths.end())
        LowerDuplicateRefLengths.push_back(Ref.size());
      LowerDuplicateRefs.emplace(std::move(Ref), Index);
    };
    AddLower(LowerCaseAscii(D), int(I));
    // An image's reference is looked up ignoring case, also in the folder
    // part: a duplicate below a folder whose name differs only in case.
    const std::string& Path = Engine.DetailList.Names(int(I));
    if (Path.size() > CurPageDir.size() && StartsText(CurPageDir, Path))
      AddLower(LowerCaseAscii(std::string_view(Path).substr(CurPageDir.size())), int(I));
    const size_t Dot = D.rfind('.');
    if (Dot == std::string::npos || Dot + 1 == D.size() || D.find('/', Dot) != std::string::npos) {
      EveryRefHasExt = false;
    } else {
      const std::string Ext = LowerCaseAscii(std::string_view(D).substr(Dot + 1));
      if (std::find(DuplicateRefExts.begin(), DuplicateRefExts.end(), Ext) ==
          DuplicateRefExts.end())
        DuplicateRefExts.push_back(Ext);
    }
    const std::string End = D.substr(D.size() - std::min<size_t>(D.size(), 4));
    if (std::find(DuplicateRefEnds.begin(), DuplicateRefEnds.end(), End) == DuplicateRefEnds.end())
      DuplicateRefEnds.push_back(End);
    if (std::find(DuplicateRefLengths.begin(), DuplicateRefLengths.end(), D.size()) ==
        DuplicateRefLengths.end())
      DuplicateRefLengths.push_back(D.size());
    DuplicateRefIndex.emplace(D, int(I));
  }
  if (!EveryRefHasExt) DuplicateRefExts.clear();
}

bool TPageRewriter::MayReferToDuplicates(std::string_view Text) const {
  if (DuplicateRefs.empty()) return false;
  if (DuplicateRefExts.empty()) return true;  // nothing to anchor a search on
  auto Skipped = [](char C) { return C == '\t' || C == '\r' || C == '\n' || C == '<'; };
  const char* P = Text.data();
  const size_t N = Text.size();
  std::string Tail;
  // Every reference ends with its extension after a "."; from there, look
  // up the text before at each length a reference has.
  for (const void* Hit = std::memchr(P, '.', N); Hit;
       Hit = std::memchr(static_cast<const char*>(Hit) + 1, '.',
                         N - size_t(static_cast<const char*>(Hit) + 1 - P))) {
    const size_t Dot = size_t(static_cast<const char*>(Hit) - P);
    for (const std::string& Ext : DuplicateRefExts) {
      size_t At = Dot + 1, K = 0;
      while (K < Ext.size() && At < N) {
        if (Skipped(P[At])) {
          ++At;
        } else if (LoCaseAscii(P[At]) == Ext[K]) {
          ++At, ++K;
        } else {
          break;
        }
      }
      if (K < Ext.size()) continue;
      for (size_t Length : LowerDuplicateRefLengths) {
        Tail.assign(Length, '\0');
        size_t Got = 0;
        for (size_t J = At; J > 0 && Got < Length; --J)
          if (!Skipped(P[J - 1])) Tail[Length - ++Got] = LoCaseAscii(P[J - 1]);
        if (Got == Length && LowerDuplicateRefs.count(Tail)) return true;
      }
    }
  }
  return false;
}

bool TPageRewriter::LocateTag(const TclHtmlTag* Tag, size_t& Start, size_t& Length) const {
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
  if (const long Previous = FindLastByte(Text, Close, '>'); Previous >= 0)
    From = size_t(Previous) + 1;
  const void* Open = std::memchr(Text + From, '<', Close - From);
  if (!Open) return false;
  Start = size_t(static_cast<const char*>(Open) - Text) + 1;
  Length = Close - Start;
  return SourceOf(std::string_view(ParseText).substr(Start, Length)) == Source;
}

void TPageRewriter::ReplaceTagText(size_t Start, size_t Length, const std::string& Text) {
  TagEdits.push_back(TTagEdit{Start, Length, Text});
  TextOffset += int(Length) - int(Text.size());
}

void TPageRewriter::OnImage(TclHtmlImage* Image) {
  const std::string R = Image->Src();
  if (R.empty()) return;
  const std::string Path = TWebFilsMgr::RefToPath(CurPageDir, R);
  const int Index = Engine.DetailList.IndexOf(Path);
  if (Index < 0) return;
  // Letter case tells files apart here: a reference that names another
  // existing file exactly is not a reference to this duplicate.
  if (Engine.DetailList.Names(Index) != Path && FileExists(Path)) return;
  const std::string& M = MasterRefs[size_t(Index)];
  size_t Start = 0, Length = 0;
  if (!LocateTag(Image, Start, Length)) return;  // left as written; the check keeps the picture
  const std::string Raw = ParseText.substr(Start, Length);
  std::string T = ReplaceInTag(Raw, "src=\"" + R + "\"", "src=\"" + M + "\"");
  if (T.find('\'') != std::string::npos) T = ReplaceInTag(T, "src='" + R + "'", "src='" + M + "'");
  if (T != Raw) ReplaceTagText(Start, Length, T);
}

void TPageRewriter::OnLink(TclHtmlLink* Link) {
  const std::string_view Source = Link->SourceText;
  // Every occurrence of a duplicate's reference ends with one of the ends:
  // at each place an end occurs, look up the text before it at each length
  // a reference has.
  std::vector<int> Held;
  for (const std::string& End : DuplicateRefEnds)
    for (size_t At = Source.find(End); At != std::string_view::npos;
         At = Source.find(End, At + 1)) {
      const size_t Stop = At + End.size();
      for (size_t Length : DuplicateRefLengths) {
        if (Length > Stop) continue;
        const auto It = DuplicateRefIndex.find(Source.substr(Stop - Length, Length));
        if (It != DuplicateRefIndex.end()) Held.push_back(It->second);
      }
    }
  if (Held.empty()) return;
  // In DetailList's order, each duplicate once.
  std::sort(Held.begin(), Held.end());
  Held.erase(std::unique(Held.begin(), Held.end()), Held.end());
  size_t Start = 0, Length = 0;
  if (!LocateTag(Link, Start, Length)) return;
  const std::string Raw = ParseText.substr(Start, Length);
  std::string T = Raw;
  for (int I : Held) {
    const std::string& D = DuplicateRefs[size_t(I)];
    const std::string& M = MasterRefs[size_t(I)];
    for (const char Q : {'"', '\''}) {
      std::string From(1, Q), To(1, Q);
      From.append(D).push_back(Q);
      To.append(M).push_back(Q);
      T = ReplaceInTag(T, From, To);
    }
  }
  if (T != Raw) ReplaceTagText(Start, Length, T);
}

void TPageRewriter::Rewrite(const std::string& PageFile) {
  CurPageDir = ExtractFilePath(PageFile);
  const std::string Bytes = ReadFileText(PageFile);
  bool Big = false;
  Verbatim = IsUtf16Page(Bytes, CodePage, Big);
  if (Verbatim) {
    PageText = PageTextOf(Utf16AsUtf8(Bytes, Big));
    return;
  }
  PageText = PageTextOf(Bytes);
  RefreshFolderRefs();

  THandlerGuard Guard{Parser};
  const TclOnParseImage ImageHandler = [this](TObject*, TclHtmlImage* Image) { OnImage(Image); };
  const TclOnParseLink LinkHandler = [this](TObject*, TclHtmlLink* Link) { OnLink(Link); };
  auto RunPass = [this] {
    TextOffset = 0;
    TagEdits.clear();
    ParseText.swap(PageText);
    Parser.Parse(ParseText);
    // Events come in document order, so the changes are in text order.
    if (TagEdits.empty()) {
      PageText.swap(ParseText);
      return;
    }
    PageText.clear();
    PageText.reserve(size_t(int64_t(ParseText.size()) - TextOffset));
    size_t Copied = 0;
    for (const TTagEdit& E : TagEdits) {
      PageText.append(ParseText, Copied, E.Start - Copied);
      PageText += E.Text;
      Copied = E.Start + E.Length;
    }
    PageText.append(ParseText, Copied, std::string::npos);
  };
  if (!MayReferToDuplicates(PageText)) {
    // Nothing to change: the page is written with its lines as they are.
  } else if (MasterRefsPlain) {
    // The image pass changes only the insides of image tags, and a master's
    // reference without "<", ">" or line breaks changes neither where any
    // tag begins or ends nor the lines: the link pass would meet the same
    // link tags, only moved by the image pass's changes before them, which
    // TextOffset already counts. So both are done in one parse.
    Parser.OnParseImage = ImageHandler;
    Parser.OnParseLink = LinkHandler;
    RunPass();
  } else {
    Parser.OnParseImage = ImageHandler;
    Parser.OnParseLink = nullptr;
    RunPass();
    // The next pass reads the lines of the changed text.
    PageText = PageTextOf(PageText);
    Parser.OnParseImage = nullptr;
    Parser.OnParseLink = LinkHandler;
    RunPass();
    PageText = PageTextOf(PageText);
  }
  ParseText.clear();
}

}  // namespace larkspan
