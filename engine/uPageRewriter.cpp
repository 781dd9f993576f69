#include "engine/uPageRewriter.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/uPageText.h"
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

TPageRewriter::TPageRewriter(const TDuplicateSet& ADuplicates, const std::string& RootDir,
                             TCodePage ACodePage)
    : Duplicates(ADuplicates), Root(IncludeTrailingDelimiter(RootDir)), CodePage(ACodePage) {}

std::string TPageRewriter::MasterRefFor(std::string_view Ref, bool ExactCase) const {
  TRefStyle Style;
  const std::string Path = ResolveRef(Ref, Root, RefDir, &Style);
  if (Path.empty()) return std::string();
  const int Index = Duplicates.DetailList.IndexOf(Path);
  if (Index < 0) return std::string();
  // Letter case tells files apart: a reference that names another existing
  // file exactly is not a reference to this duplicate.
  if (Duplicates.DetailList.Names(Index) != Path && (ExactCase || FileExists(Path)))
    return std::string();
  const std::string& Master = Duplicates.MasterOf(*Duplicates.DetailList.Objects(Index));
  return SpellRef(Root, RefDir, Master, Style);
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
  const std::string M = MasterRefFor(R, false);
  if (M.empty()) return;
  size_t Start = 0, Length = 0;
  if (!LocateTag(Image, Start, Length)) return;  // left as written; the check keeps the picture
  const std::string Raw = ParseText.substr(Start, Length);
  std::string T = ReplaceInTag(Raw, "src=\"" + R + "\"", "src=\"" + M + "\"");
  if (T.find('\'') != std::string::npos) T = ReplaceInTag(T, "src='" + R + "'", "src='" + M + "'");
  if (T != Raw) ReplaceTagText(Start, Length, T);
}

void TPageRewriter::OnLink(TclHtmlLink* Link) {
  const std::string_view Source = Link->SourceText;
  // Every quoted text of the tag (an attribute's value, or a string a
  // script attribute passes on) that leads to a duplicate. For each kind of
  // quote, the quoted texts follow one another, so this reads the tag twice.
  std::vector<std::pair<std::string, std::string>> Changes;  // quoted old, quoted new
  for (const char Q : {'"', '\''})
    for (size_t Open = Source.find(Q); Open != std::string_view::npos;) {
      const size_t Close = Source.find(Q, Open + 1);
      if (Close == std::string_view::npos) break;
      const std::string_view Value = Source.substr(Open + 1, Close - Open - 1);
      if (!Value.empty()) {
        const std::string M = MasterRefFor(Value, true);
        if (!M.empty()) Changes.emplace_back(Q + std::string(Value) + Q, Q + M + Q);
      }
      Open = Close;
    }
  if (Changes.empty()) return;
  size_t Start = 0, Length = 0;
  if (!LocateTag(Link, Start, Length)) return;
  const std::string Raw = ParseText.substr(Start, Length);
  std::string T = Raw;
  for (const auto& [From, To] : Changes) T = ReplaceInTag(T, From, To);
  if (T != Raw) ReplaceTagText(Start, Length, T);
}

bool TPageRewriter::Rewrite(const std::string& PageFile) {
  CurPageDir = ExtractFilePath(PageFile);
  PageText = ReadFileText(PageFile);
  TagEdits.clear();
  bool Big = false;
  Verbatim = IsUtf16Page(PageText, CodePage, Big);
  if (Verbatim || Duplicates.DetailList.Count() == 0) return false;
  if (!Names) {
    std::vector<std::string> DuplicateNames = Duplicates.DuplicateFiles();
    for (std::string& Name : DuplicateNames) Name = ExtractFileName(Name);
    Names = std::make_unique<TNameFinder>(DuplicateNames);
  }
  // A page that names no duplicate, even escaped, cannot change.
  if (Names->Find(PageText, true).empty() && !HasEscapes(PageText)) return false;
  // A base naming another host (or leading out of the site) makes every
  // reference of the page mean something on another site: left alone.
  RefDir = BaseDirOf(Root, CurPageDir, BaseHrefOf(PageText), false);
  if (RefDir.empty()) return false;

  THandlerGuard Guard{Parser};
  Parser.OnParseImage = [this](TObject*, TclHtmlImage* Image) { OnImage(Image); };
  // A new reference holds no "<", ">" or line break (SpellRef escapes
  // them), so a change to an image tag moves later tags but changes none:
  // one parse serves both kinds of tag.
  Parser.OnParseLink = [this](TObject*, TclHtmlLink* Link) { OnLink(Link); };
  TextOffset = 0;
  ParseText.swap(PageText);
  Parser.Parse(ParseText);
  // Events come in document order, so the changes are in text order.
  PageText.clear();
  PageText.reserve(size_t(int64_t(ParseText.size()) - TextOffset));
  size_t Copied = 0;
  for (const TTagEdit& E : TagEdits) {
    PageText.append(ParseText, Copied, E.Start - Copied);
    PageText += E.Text;
    Copied = E.Start + E.Length;
  }
  PageText.append(ParseText, Copied, std::string::npos);
  ParseText.clear();
  return !TagEdits.empty();
}

}  // namespace larkspan
