// The page minifier. What it does to a page:
// - A run of white space in text becomes one newline when it held a line
//   break, one blank otherwise (a line break between two CJK characters is
//   not the same as a blank to every browser). A run is dropped only where
//   it is never rendered: between the tags of the document's frame and its
//   head (doctype, html, head, meta, link, base, title, and script, style,
//   noscript before the body starts), and at the file's start and end next
//   to such a tag. Between any other tags a run stays, as one character, so
//   inline content (and inline-block boxes) keep their gaps.
// - Inside tags, white space runs become one blank and go before '>' and
//   around '='. Attribute values, quoted or not, stay byte for byte.
// - Kept byte for byte: the content of pre, listing, textarea, xmp,
//   iframe, noembed, noframes, plaintext, script and style; elements the page's own CSS or their
//   style attribute set to keep white space (see PagePreRules.h; also the style sheets it links to,
//   through LinkedPreRules), and those marked xml:space="preserve" (SVG text renders their white
//   space); server blocks
//   (<?php ?>, <% %>, <!--# -->), always, whatever the switches say;
//   conditional comments; CDATA sections; other comments with
//   PreserveComments (otherwise they go), except at the level smallest,
//   where only "<!--!" ones stay. A comment that goes from between two
//   pieces of text leaves "<!---->", so the two stay apart. A title's "<"
//   is text.
// - Inline <style> (type absent or text/css) goes through MinifyCss with
//   CompressCss, inline <script> of a JavaScript type (type="module" as a
//   module) through MinifyJs with CompressJs. Content that is blank, holds a
//   server block (or, in a script, "<!--" or "-->"), is refused by the minifier, whose result would
//   be larger, close the element early or open a comment stays byte for byte.
// - From the level safe on, start tags are spelt shorter (MinifyPageTags.h),
//   those inside pre and its kin too (only their text is kept as it is);
//   inline style sheets are minified at the page's level. At smallest the
//   end tags of li, p and option go where the parser needs none.
// The scanner never fails and never reads past the text: markup it does not
// understand (an unclosed tag, a stray '<') is copied as it is.
#include <string>

#include "minify/Minify.h"
#include "minify/MinifyPageTags.h"
#include "minify/PagePreRules.h"
#include "platform/Text.h"

namespace larkspan::minify {

namespace {

bool IsSpace(char C) { return C == ' ' || C == '\t' || C == '\n' || C == '\r' || C == '\f'; }
bool IsAlpha(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
bool IsDigit(char C) { return C >= '0' && C <= '9'; }

bool StartsNoCase(std::string_view S, size_t I, std::string_view P) {
  if (I > S.size() || S.size() - I < P.size()) return false;
  for (size_t K = 0; K < P.size(); ++K)
    if (LoCaseAscii(S[I + K]) != P[K]) return false;
  return true;
}

bool HasNoCase(std::string_view S, std::string_view P) {
  for (size_t I = S.find('<'); I != std::string_view::npos; I = S.find('<', I + 1))
    if (StartsNoCase(S, I, P)) return true;
  return false;
}

// True when a tag name that ends at I is over (the next byte cannot
// continue it).
bool EndsName(std::string_view S, size_t I) {
  return I >= S.size() || IsSpace(S[I]) || S[I] == '>' || S[I] == '/';
}

// The lower-case name of the tag whose name starts at I.
std::string TagNameAt(std::string_view S, size_t I) {
  std::string Name;
  while (I < S.size() && (IsAlpha(S[I]) || IsDigit(S[I]) || S[I] == '-' || S[I] == ':'))
    Name += LoCaseAscii(S[I++]);
  return Name;
}

// Start of the first end tag of Name at or after From, or the text's end.
size_t EndTag(std::string_view S, size_t From, std::string_view Name) {
  for (size_t I = S.find("</", From); I != std::string_view::npos; I = S.find("</", I + 1))
    if (StartsNoCase(S, I + 2, Name) && EndsName(S, I + 2 + Name.size())) return I;
  return S.size();
}

// Like EndTag, but counts nested start tags of the same name.
size_t NestedEnd(std::string_view S, size_t From, std::string_view Name) {
  int Depth = 1;
  for (size_t I = S.find('<', From); I != std::string_view::npos; I = S.find('<', I + 1)) {
    if (I + 1 < S.size() && S[I + 1] == '/') {
      if (StartsNoCase(S, I + 2, Name) && EndsName(S, I + 2 + Name.size()) && --Depth == 0)
        return I;
    } else if (StartsNoCase(S, I + 1, Name) && EndsName(S, I + 1 + Name.size())) {
      ++Depth;
    }
  }
  return S.size();
}

bool IsServerStart(std::string_view S, size_t I) {
  return I + 1 < S.size() && S[I] == '<' && (S[I + 1] == '?' || S[I + 1] == '%');
}

// Index just past the server block that starts at I, or the text's end when
// it is not closed (a PHP file may end inside its last block). In PHP code a
// "?>" inside a quoted string or a block comment does not end the block; a
// line comment ends at the line's end or at "?>". PHP reads its source byte
// by byte, so a backslash escapes the next byte whatever code page the page
// is in: the scan does the same.
size_t ServerBlockEnd(std::string_view S, size_t I) {
  const size_t N = S.size();
  auto After = [&](std::string_view Closer, size_t From) {
    const size_t E = S.find(Closer, From);
    return E == std::string_view::npos ? N : E + Closer.size();
  };
  if (S[I + 1] == '%') return After("%>", I + 2);
  const bool Php =
      StartsNoCase(S, I, "<?php") || StartsNoCase(S, I, "<?=") || (I + 2 < N && IsSpace(S[I + 2]));
  if (!Php) return After("?>", I + 2);
  size_t J = I + 2;
  while (J < N) {
    const char C = S[J];
    if (C == '?' && J + 1 < N && S[J + 1] == '>') return J + 2;
    if (C == '\'' || C == '"') {
      for (++J; J < N && S[J] != C; ++J)
        if (S[J] == '\\') ++J;
      J = std::min(J + 1, N);
    } else if (C == '#' || (C == '/' && J + 1 < N && S[J + 1] == '/')) {
      while (J < N && S[J] != '\n' && !(S[J] == '?' && J + 1 < N && S[J + 1] == '>')) ++J;
    } else if (C == '/' && J + 1 < N && S[J + 1] == '*') {
      J = After("*/", J + 2);
    } else {
      ++J;
    }
  }
  return N;
}

bool IsJavaScriptType(std::string_view Tag, bool& Module) {
  std::string Type;
  Module = false;
  if (!TagAttribute(Tag, "type", Type)) return true;
  size_t B = 0, E = Type.size();
  while (B < E && IsSpace(Type[B])) ++B;
  while (E > B && IsSpace(Type[E - 1])) --E;
  std::string T;
  for (size_t I = B; I < E; ++I) T += LoCaseAscii(Type[I]);
  if (T == "module") {
    Module = true;
    return true;
  }
  for (const char* J : {"", "text/javascript", "application/javascript", "application/x-javascript",
                        "text/ecmascript", "application/ecmascript", "text/jscript"})
    if (T == J) return true;
  return false;
}

bool IsCssType(std::string_view Tag) {
  std::string Type;
  if (!TagAttribute(Tag, "type", Type)) return true;
  std::string T;
  for (char C : Type)
    if (!IsSpace(C)) T += LoCaseAscii(C);
  return T.empty() || T == "text/css";
}

// What the page minifier needs to know of a lower-case tag name, found with
// one switch (this runs for every tag of every page).
enum : unsigned {
  FrameStart = 1,  // a start tag of the frame: white space next to it is never rendered
  FrameEnd = 2,    // the same for its end tag
  HeadOnly = 4,    // like the frame, but only before the body starts
  InHeadTag = 8,   // may stand in the head: does not start the body
  Void = 16,       // has no content and no end tag
  RawText = 32,    // content up to the first end tag, byte for byte
  Nested = 64,     // content kept byte for byte, nested elements of the name counted
};

unsigned TagFlags(std::string_view N) {
  auto Is = [&](const char* W) { return N.compare(W) == 0; };
  switch (N.size()) {
    case 2:
      return Is("br") || Is("hr") ? unsigned(Void) : 0u;
    case 3:
      if (Is("img") || Is("col") || Is("wbr")) return Void;
      if (Is("pre")) return Nested;
      if (Is("xmp")) return RawText;
      return 0;
    case 4:
      if (Is("html") || Is("head")) return FrameStart | FrameEnd | InHeadTag;
      if (Is("meta") || Is("link") || Is("base")) return FrameStart | InHeadTag | Void;
      if (Is("body")) return FrameEnd;
      if (Is("area")) return Void;
      return 0;
    case 5:
      if (Is("title")) return FrameStart | FrameEnd | InHeadTag;
      if (Is("style")) return HeadOnly | InHeadTag | RawText;
      if (Is("input") || Is("embed") || Is("param") || Is("track")) return Void;
      return 0;
    case 6:
      if (Is("script")) return HeadOnly | InHeadTag | RawText;
      if (Is("iframe")) return RawText;
      if (Is("source") || Is("keygen")) return Void;
      return 0;
    case 7:
      if (Is("noembed")) return RawText;
      return Is("listing") ? unsigned(Nested) : 0u;
    case 8:
      if (Is("noscript") || Is("template")) return HeadOnly | InHeadTag;
      if (Is("textarea") || Is("noframes")) return RawText;
      return 0;
    default:
      return 0;
  }
}

// Whether the white space next to a tag may go: never (No), always (the
// document's frame and head, the file's start and end), or only before the
// body starts (script, style, noscript, template).
enum class TFrame : unsigned char { No, Always, InHead };

// Lead is '/' for an end tag, '!' for a declaration, 0 for a start tag.
TFrame FrameOf(char Lead, std::string_view Name) {
  if (Lead == '!') return Name == "doctype" ? TFrame::Always : TFrame::No;
  const unsigned F = TagFlags(Name);
  if (F & (Lead == '/' ? FrameEnd : FrameStart)) return TFrame::Always;
  return F & HeadOnly ? TFrame::InHead : TFrame::No;
}

class TPageMinifier {
 public:
  TPageMinifier(std::string_view AText, TCodePage APage, const TMinifyOptions& AOptions)
      : S(AText), Page(APage), Options(AOptions) {}

  std::string Run() {
    Out.reserve(S.size());
    CollectRules();
    const size_t N = S.size();
    size_t I = 0;
    while (I < N) {
      Settle();
      const char C = S[I];
      if (IsSpace(C)) {
        I = Space(I);
      } else if (C != '<' || I + 1 >= N || !StartsMarkup(I) ||
                 (InTitle && !StartsNoCase(S, I, "</title"))) {
        // A title holds text only: "<" there starts no tag and no comment.
        I = TextRun(I);
      } else if (IsServerStart(S, I)) {
        I = Copy(I, ServerBlockEnd(S, I));
        Prev = TFrame::No;
      } else if (S.compare(I, 4, "<!--") == 0) {
        I = Comment(I);
      } else if (S.compare(I, 9, "<![CDATA[") == 0) {
        const size_t E = S.find("]]>", I + 9);
        I = Copy(I, E == std::string_view::npos ? N : E + 3);
        Prev = TFrame::No;
      } else if (S[I + 1] == '!') {
        Prev = FrameOf('!', TagNameAt(S, I + 2));
        I = Tag(I);
      } else if (S[I + 1] == '/' && I + 2 < N && IsAlpha(S[I + 2])) {
        const std::string Name = TagNameAt(S, I + 2);
        if (std::string_view(Name) == "title") InTitle = false;
        Prev = FrameOf('/', Name);
        const bool Smallest = Options.Level == TMinifyLevel::Smallest;
        TOptionalEnds::TCandidate Candidate;
        if (Smallest) {
          Candidate = Ends.Candidate(Name);
          Ends.EndTag(Name);
        }
        const size_t TagOut = Out.size();
        I = Tag(I);
        // Only a whole tag of ours may go (not the rest of a page whose
        // last tag is not closed).
        if (Smallest && Out.find('>', TagOut) == Out.size() - 1 &&
            Out.find('<', TagOut + 1) == std::string::npos) {
          const size_t Length = Out.size() - TagOut;
          Settle();
          Pending = std::move(Candidate);
          PendingAt = Out.size() - Length;
        }
      } else if (IsAlpha(S[I + 1])) {
        const std::string Name = TagNameAt(S, I + 1);
        if (!(TagFlags(Name) & InHeadTag)) InHead = false;
        if (std::string_view(Name) == "title") InTitle = true;
        Prev = FrameOf(0, Name);
        if (Options.Level == TMinifyLevel::Smallest) Ends.StartTag(Name);
        const size_t TagOut = Out.size();
        const size_t After = Tag(I);
        if (Options.Level != TMinifyLevel::Spaces && Out.back() == '>') {
          const std::string Short = ShortStartTag(std::string_view(Out).substr(TagOut), Name);
          Out.replace(TagOut, std::string::npos, Short);
        }
        I = After < N ? Element(I, After, Name) : After;
      }
    }
    Finished = true;
    Settle();
    return std::move(Out);
  }

  // The first inline part kept because its minifier refused it (see
  // TMinifyResult::Note), "" when none was.
  std::string Note;

 private:
  // True when the "<" at I opens something the loop above handles (a
  // server block, comment, CDATA, declaration or tag); otherwise it is text.
  bool StartsMarkup(size_t I) const {
    const char D = S[I + 1];
    return IsServerStart(S, I) || D == '!' || IsAlpha(D) ||
           (D == '/' && I + 2 < S.size() && IsAlpha(S[I + 2]));
  }

  std::string_view S;
  TCodePage Page;
  const TMinifyOptions& Options;
  std::string Out;
  TPreRules Rules;
  TOptionalEnds Ends;
  // The last end tag written, at PendingAt in Out, that may go once what
  // follows it in the output is known.
  TOptionalEnds::TCandidate Pending;
  size_t PendingAt = 0;
  bool Finished = false;         // the whole page is in Out
  TFrame Prev = TFrame::Always;  // what comes just before: the start, a tag, text
  bool InHead = true;            // no body content seen yet
  bool InTitle = false;
  bool SpaceOut = false;  // Out ends with a collapsed run of ours
  // Where in Out the text written last ends (npos: none yet).
  size_t TextEnd = std::string::npos;

  void CollectRules() {
    if (Options.LinkedPreRules) Options.LinkedPreRules(S, Rules);
    for (size_t I = S.find('<'); I != std::string_view::npos; I = S.find('<', I + 1)) {
      if (!StartsNoCase(S, I + 1, "style") || EndsName(S, I + 6) == false) continue;
      const size_t Open = S.find('>', I);
      if (Open == std::string_view::npos) return;
      const size_t Close = EndTag(S, Open + 1, "style");
      CollectPreRules(S.substr(Open + 1, Close - Open - 1), Rules);
      I = Close;
    }
  }

  // Decides on the pending end tag once something follows it in Out (or
  // the page has ended).
  void Settle() {
    if (Pending.Name.empty()) return;
    const size_t TagEnd = Out.find('>', PendingAt) + 1;
    if (TagEnd < Out.size() || Finished) {
      if (Ends.CanDrop(Pending, std::string_view(Out).substr(TagEnd)))
        Out.erase(PendingAt, TagEnd - PendingAt);
      Pending.Name.clear();
    }
  }

  size_t Copy(size_t From, size_t To) {
    Out.append(S.substr(From, To - From));
    SpaceOut = false;
    return To;
  }

  // The bytes of the character at I, as far as markup goes: a multi-byte
  // character never swallows a byte a browser would take as markup or white
  // space (browsers give such a byte back after a broken lead byte).
  size_t Step(size_t I) const {
    if ((unsigned char)S[I] < 0x80) return 1;
    const size_t L = CharLength(Page, S, I);
    for (size_t K = 1; K < L; ++K) {
      const char C = S[I + K];
      if (C == '<' || C == '>' || C == '"' || C == '\'' || C == '=' || IsSpace(C)) return K;
    }
    return L < 1 ? 1 : L;
  }

  size_t TextRun(size_t I) {
    size_t J = I + Step(I);
    while (J < S.size() && S[J] != '<' && !IsSpace(S[J])) J += Step(J);
    if (J > S.size()) J = S.size();
    Copy(I, J);
    TextEnd = Out.size();
    Prev = TFrame::No;
    if (!InTitle) InHead = false;
    return J;
  }

  // What the tag that starts at I is to the white space before it.
  TFrame NextFrame(size_t I) const {
    if (I >= S.size()) return TFrame::Always;  // the file's end
    if (S[I] != '<' || I + 1 >= S.size()) return TFrame::No;
    if (S[I + 1] == '/') return FrameOf('/', TagNameAt(S, I + 2));
    if (S[I + 1] == '!')
      return S.compare(I, 4, "<!--") == 0 ? TFrame::No : FrameOf('!', TagNameAt(S, I + 2));
    const std::string Name = TagNameAt(S, I + 1);
    // White space before <body> is never rendered.
    return Name == "body" ? TFrame::Always : FrameOf(0, Name);
  }

  bool Removable(TFrame F) const { return F == TFrame::Always || (F == TFrame::InHead && InHead); }

  size_t Space(size_t I) {
    size_t J = I;
    bool Break = false;
    while (J < S.size() && IsSpace(S[J])) Break |= S[J++] == '\n';
    if (Rules.WholePage && !InHead) return Copy(I, J);
    if (Removable(Prev) && Removable(NextFrame(J))) return J;
    if (SpaceOut) {
      // Two runs met where a comment was removed: one character for both.
      if (Break) Out.back() = '\n';
    } else {
      Out += Break ? '\n' : ' ';
      SpaceOut = true;
    }
    return J;
  }

  size_t Comment(size_t I) {
    size_t End;
    if (S.compare(I + 4, 1, ">") == 0) {
      End = I + 5;  // "<!-->" is an empty comment
    } else if (S.compare(I + 4, 2, "->") == 0) {
      End = I + 6;
    } else {
      const size_t E = S.find("-->", I + 4);
      End = E == std::string_view::npos ? S.size() : E + 3;
    }
    // Server-side includes and conditional comments are code, not remarks; an
    // unclosed comment is not ours to cut.
    // At smallest remarks go whatever --preserve-comments says; "<!--!"
    // marks one its author wants kept (a licence).
    const bool Smallest = Options.Level == TMinifyLevel::Smallest;
    if ((Options.PreserveComments && !Smallest) || (Smallest && S.compare(I, 5, "<!--!") == 0) ||
        End == S.size() || S.compare(I, 5, "<!--#") == 0 || StartsNoCase(S, I, "<!--[if") ||
        StartsNoCase(S, I, "<!--<![endif]")) {
      Copy(I, End);
      Prev = TFrame::No;
    } else if (BetweenText(End)) {
      // Text on both sides stays two text nodes: a browser shapes each node
      // by itself, so joining them can move glyphs by a fraction of a pixel.
      if (End - I <= 7) {
        Copy(I, End);
      } else {
        Out += "<!---->";
        SpaceOut = false;
      }
      Prev = TFrame::No;
    }
    return End;
  }

  // Whether the comment that ends at End stands between two pieces of text
  // (white space aside): text written last (only white space after it in
  // Out) and text next in the page.
  bool BetweenText(size_t End) const {
    const bool Before =
        TextEnd <= Out.size() && Out.find_first_not_of(" \t\n\r\f", TextEnd) == std::string::npos;
    size_t J = End;
    while (J < S.size() && IsSpace(S[J])) ++J;
    return Before && J < S.size() && (S[J] != '<' || J + 1 >= S.size() || !StartsMarkup(J));
  }

  // Copies the tag at I through its '>' and returns the index after it (the
  // text's end when the tag is not closed: the rest is copied unchanged).
  size_t Tag(size_t I) {
    const size_t N = S.size();
    const size_t Start = Out.size();
    const bool Declaration = S[I + 1] == '!';
    size_t J = I;
    while (J < N) {
      const char C = S[J];
      if (C == '>') {
        Out += '>';
        SpaceOut = false;
        return J + 1;
      }
      if (IsSpace(C)) {
        size_t K = J + 1;
        while (K < N && IsSpace(S[K])) ++K;
        if (K < N && S[K] != '>' && S[K] != '=' && Out.back() != '=') Out += ' ';
        J = K;
      } else if ((C == '"' || C == '\'') && Declaration) {
        J = Quoted(J);
      } else if (C == '=' && J > I + 1) {
        Out += '=';
        ++J;
        while (J < N && IsSpace(S[J])) ++J;
        if (J < N && (S[J] == '"' || S[J] == '\'')) J = Quoted(J);
      } else if (J > I && IsServerStart(S, J)) {
        const size_t E = ServerBlockEnd(S, J);
        Out.append(S.substr(J, E - J));
        J = E;
      } else {
        // The bytes up to the next one that matters, at once.
        size_t K = J + std::min(Step(J), N - J);
        while (K < N) {
          const char D = S[K];
          if ((unsigned char)D >= 0x80 || IsSpace(D) || D == '>' || D == '<' || D == '=' ||
              D == '"' || D == '\'')
            break;
          ++K;
        }
        Out.append(S.substr(J, K - J));
        J = K;
      }
    }
    Out.resize(Start);
    Copy(I, N);
    return N;
  }

  // Copies the quoted value at J, server blocks inside it included, and
  // returns its end.
  size_t Quoted(size_t J) {
    const char Quote = S[J];
    const size_t N = S.size();
    size_t K = J + 1;
    while (K < N && S[K] != Quote) K = IsServerStart(S, K) ? ServerBlockEnd(S, K) : K + Step(K);
    const size_t End = std::min(K + 1, N);
    Out.append(S.substr(J, End - J));
    return End;
  }

  // After the start tag [TagStart, After) of Name: copies the content of an
  // element whose content is kept and returns where the scan goes on (its end
  // tag).
  size_t Element(size_t TagStart, size_t After, const std::string& Name) {
    const std::string_view StartTag = S.substr(TagStart, After - TagStart);
    const std::string_view N = Name;
    size_t Close;
    if (N == "plaintext") return Copy(After, S.size());
    const unsigned F = TagFlags(N);
    if (F & RawText) {
      Close = EndTag(S, After, Name);
    } else if ((F & Nested) || (!(F & Void) && (KeepsWhiteSpace(StartTag, Name, Rules) ||
                                                PreservesSpace(StartTag)))) {
      Close = NestedEnd(S, After, Name);
    } else {
      return After;
    }
    const std::string_view Body = S.substr(After, Close - After);
    bool Module = false;
    if (N == "script" && Options.CompressJs && IsJavaScriptType(StartTag, Module)) {
      if (Inline(Body, false, Module)) return Close;
    } else if (N == "style" && Options.CompressCss && IsCssType(StartTag)) {
      if (Inline(Body, true, false)) return Close;
    }
    return (F & RawText) ? Copy(After, Close) : CopyKeepingText(After, Close);
  }

  // Copies the body of an element that keeps its white space, From..To:
  // text, comments, server blocks and declarations byte for byte; above
  // `spaces` the start tags inside are shortened as they are elsewhere (tags
  // are not text). A tag that does not end inside the body, and the content
  // of a raw-text element, are copied as they stand.
  size_t CopyKeepingText(size_t From, size_t To) {
    if (Options.Level == TMinifyLevel::Spaces) return Copy(From, To);
    size_t I = From;
    while (I < To) {
      size_t K = I;
      while (K < To && !(S[K] == '<' && K + 1 < To &&
                         (IsAlpha(S[K + 1]) || S[K + 1] == '!' || IsServerStart(S, K))))
        K += std::max<size_t>(1, std::min(Step(K), To - K));
      Copy(I, K);
      if (K >= To) break;
      if (S[K + 1] == '!' || IsServerStart(S, K)) {
        const bool Comment = S.compare(K, 4, "<!--") == 0;
        const size_t E = IsServerStart(S, K) ? ServerBlockEnd(S, K)
                         : Comment           ? S.find("-->", K + 4)
                                             : S.find('>', K + 2);
        const size_t End = E == std::string_view::npos ? To
                           : IsServerStart(S, K)       ? E
                                                       : E + (Comment ? 3 : 1);
        I = Copy(K, std::min(End, To));
        continue;
      }
      const std::string Name = TagNameAt(S, K + 1);
      if (Name == "plaintext") return Copy(K, To);  // the rest is text
      const size_t TagOut = Out.size();
      const size_t After = Tag(K);
      if (After > To || Out.back() != '>') {
        Out.resize(TagOut);
        return Copy(K, To);
      }
      Out.replace(TagOut, std::string::npos,
                  ShortStartTag(std::string_view(Out).substr(TagOut), Name));
      I = After;
      if (TagFlags(Name) & RawText) I = Copy(I, std::min(EndTag(S, I, Name), To));
    }
    return To;
  }

  // Appends the minified content of a style or script element and returns
  // true, or returns false to keep it as it is.
  bool Inline(std::string_view Body, bool IsCss, bool Module) {
    bool Blank = true;
    for (char C : Body) Blank &= IsSpace(C);
    // "<!--" in a script changes where the page's parser finds its end tag;
    // it and "-->" are comments to the script: old-style blocks that hide
    // themselves this way stay as written.
    if (Blank || Body.find("<?") != std::string_view::npos ||
        Body.find("<%") != std::string_view::npos ||
        (!IsCss && (Body.find("<!--") != std::string_view::npos ||
                    Body.find("-->") != std::string_view::npos)))
      return false;
    const TMinifyResult R =
        IsCss ? MinifyCss(Body, Page, Options) : MinifyJs(Body, Page, Options, Module);
    if (R.Ok && !R.Note.empty() && Note.empty()) {
      // A script the parser could not read, minified by its tokens only.
      const size_t At = size_t(Body.data() - S.data());
      int Line = 1;
      for (size_t K = 0; K < At; ++K) Line += S[K] == '\n';
      Note = "inline script from line " + std::to_string(Line) + ": " + R.Note;
    }
    if (!R.Ok && Note.empty()) {
      // Line of the fault in the page: the lines before the element's
      // content, and the fault's line within it.
      const size_t At = size_t(Body.data() - S.data());
      int Line = R.Line > 0 ? R.Line : 1;
      for (size_t K = 0; K < At; ++K) Line += S[K] == '\n';
      Note = std::string(IsCss ? "inline style sheet" : "inline script") +
             " kept as it was (line " + std::to_string(Line) + ": " + R.Error + ")";
    }
    // A result no smaller than the content (the script minifier may part
    // "<" and "!" that touch) is no gain.
    if (!R.Ok || R.Output.size() > Body.size()) return false;
    if (HasNoCase(R.Output, IsCss ? "</style" : "</script") ||
        (R.Output.find("<!--") != std::string::npos && Body.find("<!--") == std::string_view::npos))
      return false;
    Out += R.Output;
    SpaceOut = false;
    return true;
  }
};

}  // namespace

TMinifyResult MinifyPage(std::string_view Text, TCodePage Page, const TMinifyOptions& Options) {
  TMinifyResult R;
  TPageMinifier Minifier(Text, Page, Options);
  R.Output = Minifier.Run();
  R.Note = Minifier.Note;
  R.Ok = true;
  return R;
}

}  // namespace larkspan::minify
