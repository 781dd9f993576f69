// Reference rewriting: pages that refer to a left-out duplicate picture are
// written referring to the picture that was kept.
//
// A page is parsed for its image tags, then for its link tags, each pass
// over the text as the previous pass left it (one parse does both when that
// comes to the same). Every change replaces the text of one tag; TextOffset
// keeps the positions of the later tags of a pass right.
//
// Pages are rewritten on two threads: a helper with a parser of its own
// takes the pages nobody has taken yet, a few ahead of the engine's worker,
// and the worker takes them too while its own page is not ready. The worker
// alone writes every page, and notes its references, in the order of
// PageFiles, so the output, the errors and the report are those of one
// thread.
#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

#include "config/uConfig.h"
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
  const char* P = Bytes.data();
  const size_t N = Bytes.size();
  Text.reserve(N + N / 32 + 2);
  // The next CR and LF at or after I, each searched again only once passed.
  size_t NextCr = 0, NextLf = 0;
  bool CrKnown = false, LfKnown = false;
  auto Find = [&](char C, size_t From) {
    const void* Hit = std::memchr(P + From, C, N - From);
    return Hit ? size_t(static_cast<const char*>(Hit) - P) : N;
  };
  size_t Start = 0;
  while (Start < N) {
    if (!CrKnown || NextCr < Start) NextCr = Find('\r', Start), CrKnown = true;
    if (!LfKnown || NextLf < Start) NextLf = Find('\n', Start), LfKnown = true;
    const size_t Break = std::min(NextCr, NextLf);
    if (Break == N) break;
    Text.append(P + Start, Break - Start);
    Text += "\r\n";
    Start = Break + (P[Break] == '\r' && Break + 1 < N && P[Break + 1] == '\n' ? 2 : 1);
  }
  if (Start < N) {
    Text.append(P + Start, N - Start);
    Text += "\r\n";
  }
  return Text;
}

// Whether a page's bytes are UTF-16: a byte-order mark, or the setting's
// character set when there is none. Big is set to the byte order.
bool IsUtf16Page(std::string_view Bytes, const std::string& CharSet, bool& Big) {
  if (Bytes.size() >= 2) {
    const auto B0 = static_cast<unsigned char>(Bytes[0]), B1 = static_cast<unsigned char>(Bytes[1]);
    if ((B0 == 0xFF && B1 == 0xFE) || (B0 == 0xFE && B1 == 0xFF)) {
      Big = B0 == 0xFE;
      return true;
    }
  }
  const std::string Name = UpperCaseAscii(CharSet);
  if (Name.rfind("UTF-16", 0) != 0 && Name.rfind("UTF16", 0) != 0) return false;
  Big = Name.find("BE") != std::string::npos;
  return true;
}

// UTF-16 bytes as UTF-8, for finding the references a page holds; a unit
// that is not a character (an unpaired surrogate, an odd last byte) reads
// as "?". The byte-order mark is dropped.
std::string Utf16AsUtf8(std::string_view Bytes, bool Big) {
  std::string Out;
  auto Unit = [&](size_t I) {
    const auto A = static_cast<unsigned char>(Bytes[I]),
               B = static_cast<unsigned char>(Bytes[I + 1]);
    return Big ? unsigned(A) << 8 | B : unsigned(B) << 8 | A;
  };
  size_t I = 0;
  if (Bytes.size() >= 2 && Unit(0) == 0xFEFF) I = 2;
  for (; I + 1 < Bytes.size(); I += 2) {
    unsigned C = Unit(I);
    if (C >= 0xD800 && C <= 0xDBFF && I + 3 < Bytes.size() && Unit(I + 2) >= 0xDC00 &&
        Unit(I + 2) <= 0xDFFF) {
      C = 0x10000 + ((C - 0xD800) << 10) + (Unit(I + 2) - 0xDC00);
      I += 2;
    } else if (C >= 0xD800 && C <= 0xDFFF) {
      C = '?';
    }
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
  if (I < Bytes.size()) Out += '?';
  return Out;
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

// The rewriting of one page at a time with one parser. The engine's own
// rewriter works on the engine's CurPageDir, PageText and TextOffset and
// its parser; the helper's on its own. Reads the engine's DetailList and
// MasterList, which do not change while pages are rewritten.
class TPageRewriter {
 public:
  TPageRewriter(const TWebFilsMgr& AEngine, TclHtmlParser& AParser, std::string& ACurPageDir,
                std::string& APageText, int& ATextOffset)
      : Engine(AEngine),
        Parser(AParser),
        CurPageDir(ACurPageDir),
        PageText(APageText),
        TextOffset(ATextOffset) {}

  // Reads the page and leaves its rewritten text in PageText. Throws the
  // platform's error when the page cannot be read. A UTF-16 page is not
  // rewritten (the byte-level rewriting would garble it): Verbatim is set,
  // the page is to be copied as it is, and PageText holds its text in
  // UTF-8 for the reference check, which then keeps the duplicates it
  // names.
  void Rewrite(const std::string& PageFile);
  bool Verbatim = false;
  void OnImage(TclHtmlImage* Image);
  void OnLink(TclHtmlLink* Link);

  // What the parser calls in each pass.
  TclOnParseImage ImageHandler;
  TclOnParseLink LinkHandler;

 private:
  const TWebFilsMgr& Engine;
  TclHtmlParser& Parser;
  std::string& CurPageDir;
  std::string& PageText;  // every line followed by CR LF
  int& TextOffset;        // bytes PageText has become shorter in this pass

  // The text the running pass parses; the parser's positions refer to it.
  std::string ParseText;
  // The changes of a pass, in text order, applied in one copy at its end.
  struct TTagEdit {
    size_t Start, Length;
    std::string Text;
  };
  std::vector<TTagEdit> TagEdits;

  // References of the current page's folder, by DetailList index: the
  // duplicate's and its master's (refreshed when the folder changes).
  std::string RefsDir;
  std::vector<std::string> DuplicateRefs;
  std::vector<std::string> MasterRefs;
  bool MasterRefsPlain = true;  // none holds "<", ">", CR or LF
  // For finding which duplicates' references a link tag holds without
  // trying each: the distinct ends of the references (their last four bytes
  // at most), their distinct lengths, and reference -> DetailList index.
  std::vector<std::string> DuplicateRefEnds;
  std::vector<size_t> DuplicateRefLengths;
  std::unordered_map<std::string_view, int> DuplicateRefIndex;
  // The same references in lower case (with their lengths), and the
  // extensions they end with (lower case, after the last "."); no extension
  // at all when one has none.
  std::unordered_map<std::string, int> LowerDuplicateRefs;
  std::vector<size_t> LowerDuplicateRefLengths;
  std::vector<std::string> DuplicateRefExts;

  void RefreshFolderRefs();
  // Whether Text, read as the parser reads tags (without TAB, CR, LF and
  // "<"), holds any duplicate's reference, letter case ignored. A page that
  // does not cannot change, so it is not parsed.
  bool MayReferToDuplicates(std::string_view Text) const;
  // Finds the bytes of Tag between its "<" and ">" in ParseText (0-based
  // start and length); false when they cannot be matched with SourceText.
  bool LocateTag(const TclHtmlTag* Tag, size_t& Start, size_t& Length) const;
  // Puts Text in place of Length bytes of the tag found at Start.
  void ReplaceTagText(size_t Start, size_t Length, const std::string& Text);
};

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
  Verbatim = IsUtf16Page(Bytes, Engine.Config->CharSet, Big);
  if (Verbatim) {
    PageText = PageTextOf(Utf16AsUtf8(Bytes, Big));
    return;
  }
  PageText = PageTextOf(Bytes);
  RefreshFolderRefs();

  THandlerGuard Guard{Parser};
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

// ---- the engine's side ----------------------------------------------------

struct TWebFilsMgr::TRewriting {
  explicit TRewriting(TWebFilsMgr& Engine)
      : Own(Engine, *Engine.HtmlParser, Engine.CurPageDir, Engine.PageText, Engine.TextOffset),
        Helper(Engine, HelperParser, HelperDir, HelperText, HelperOffset),
        Owner(Engine) {
    Own.ImageHandler = [&Engine](TObject* Sender, TclHtmlImage* Image) {
      Engine.HtmlParserParseImage(Sender, Image);
    };
    Own.LinkHandler = [&Engine](TObject* Sender, TclHtmlLink* Link) {
      Engine.HtmlParserParseLink(Sender, Link);
    };
    Helper.ImageHandler = [this](TObject*, TclHtmlImage* Image) { Helper.OnImage(Image); };
    Helper.LinkHandler = [this](TObject*, TclHtmlLink* Link) { Helper.OnLink(Link); };
  }
  ~TRewriting() {
    {
      std::lock_guard<std::mutex> L(Lock);
      Quit = true;
    }
    Changed.notify_all();
    if (Thread.joinable()) Thread.join();
  }

  // The helper takes the pages nobody has taken yet, in order, staying at
  // most Ahead pages in front of the page the worker is at.
  void HelperLoop() {
    const std::vector<std::string>& Pages = Owner.PageFiles;
    for (;;) {
      size_t Index;
      {
        std::unique_lock<std::mutex> L(Lock);
        Changed.wait(L, [&] {
          return Quit || (NextToTake < Pages.size() && NextToTake <= Current + Ahead);
        });
        if (Quit) return;
        Index = NextToTake++;
      }
      TDone Page;
      try {
        Helper.Rewrite(Pages[Index]);
        Page.Verbatim = Helper.Verbatim;
        Page.Text = std::move(HelperText);
        Page.Hits = Owner.ScanReferences(Pages[Index], Page.Text);
      } catch (...) {
        Page.Error = std::current_exception();
      }
      {
        std::lock_guard<std::mutex> L(Lock);
        Done.emplace(Index, std::move(Page));
      }
      Changed.notify_all();
    }
  }

  TPageRewriter Own;
  TclHtmlParser HelperParser;
  std::string HelperDir, HelperText;
  int HelperOffset = 0;
  TPageRewriter Helper;
  TWebFilsMgr& Owner;
  size_t Expected = 0;  // the index in PageFiles of the page expected next (worker only)

  static constexpr size_t Ahead = 16;
  struct TDone {
    std::string Text;
    bool Verbatim = false;
    std::vector<std::pair<int, int>> Hits;
    std::exception_ptr Error;
  };
  std::mutex Lock;  // guards what follows
  std::condition_variable Changed;
  std::thread Thread;
  size_t NextToTake = 0;  // the first page nobody has taken
  size_t Current = 0;     // the page the worker is at
  bool Quit = false;
  std::map<size_t, TDone> Done;  // pages the helper has finished, not yet written
};

TWebFilsMgr::TRewriting& TWebFilsMgr::RewritingForRun() {
  if (!Rewriting) Rewriting = std::make_shared<TRewriting>(*this);
  return *Rewriting;
}

void TWebFilsMgr::HtmlParserParseImage(TObject* Sender, TclHtmlImage* Image) {
  RewritingForRun().Own.OnImage(Image);
}

void TWebFilsMgr::HtmlParserParseLink(TObject* Sender, TclHtmlLink* Link) {
  RewritingForRun().Own.OnLink(Link);
}

void TWebFilsMgr::RewritePage(const std::string& PageFile, const std::string& DestFile) {
  TRewriting& R = RewritingForRun();
  RefCheckForRun();  // built before the helper uses it
  // Pages come in the order of PageFiles; a page out of that order is
  // simply rewritten here.
  if (R.Expected >= PageFiles.size() || PageFiles[R.Expected] != PageFile) {
    R.Own.Rewrite(PageFile);
    NoteReferences(PageFile, PageText);
    WritePageText(PageFile, DestFile, R.Own.Verbatim);
    return;
  }
  const size_t Index = R.Expected++;
  if (!R.Thread.joinable() && PageFiles.size() > 1)
    R.Thread = std::thread([&R] { R.HelperLoop(); });
  // Until this page is done, take pages as the helper does: this one if
  // nobody has, else the next one nobody has.
  TRewriting::TDone Page;
  for (;;) {
    std::unique_lock<std::mutex> L(R.Lock);
    R.Current = Index;
    const auto Found = R.Done.find(Index);
    if (Found != R.Done.end()) {
      Page = std::move(Found->second);
      R.Done.erase(Found);
      L.unlock();
      R.Changed.notify_all();
      break;
    }
    size_t Take;
    if (Index >= R.NextToTake) {
      Take = Index;
      R.NextToTake = Index + 1;
    } else if (R.NextToTake < PageFiles.size() && R.NextToTake <= Index + TRewriting::Ahead) {
      Take = R.NextToTake++;
    } else {
      R.Changed.wait(L);
      continue;
    }
    L.unlock();
    R.Changed.notify_all();
    TRewriting::TDone Taken;
    try {
      R.Own.Rewrite(PageFiles[Take]);
      Taken.Verbatim = R.Own.Verbatim;
      Taken.Text = std::move(PageText);
      Taken.Hits = ScanReferences(PageFiles[Take], Taken.Text);
    } catch (...) {
      Taken.Error = std::current_exception();
    }
    if (Take == Index) {
      Page = std::move(Taken);
      break;
    }
    std::lock_guard<std::mutex> Relock(R.Lock);
    R.Done.emplace(Take, std::move(Taken));
  }
  if (Page.Error) std::rethrow_exception(Page.Error);
  CurPageDir = ExtractFilePath(PageFile);
  PageText = std::move(Page.Text);
  NoteHits(PageFile, Page.Hits);
  WritePageText(PageFile, DestFile, Page.Verbatim);
}

void TWebFilsMgr::WritePageText(const std::string& PageFile, const std::string& DestFile,
                                bool Verbatim) {
  if (Verbatim)
    CopyOrFail(PageFile, DestFile);
  else
    WriteFileAtomic(DestFile, PageText, PageFile);
}

}  // namespace larkspan
