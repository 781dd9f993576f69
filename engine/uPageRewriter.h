// The reference rewriting of one page: a page that refers to a left-out
// duplicate picture is written referring to the picture that was kept.
//
// A page is parsed for its image tags, then for its link tags, each pass
// over the text as the previous pass left it (one parse does both when that
// comes to the same). Every change replaces the text of one tag; TextOffset
// keeps the positions of the later tags of a pass right.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "htmlparser/clHtmlParser.h"
#include "platform/CodePage.h"

namespace larkspan {

class TWebFilsMgr;

// One rewriter per worker: it owns its parser and the state of the page it
// is on, and reads the engine's DetailList and MasterList, which must not
// change while it is used (they are final once the duplicates are known).
// Not for use by two threads at once.
class TPageRewriter {
 public:
  // Engine must outlive the rewriter. CodePage is the run's code page (a
  // page is known as UTF-16 by the minifiers' rules, IsUtf16Page).
  TPageRewriter(const TWebFilsMgr& AEngine, TCodePage ACodePage);

  // Reads the page and leaves its rewritten text in PageText. Throws the
  // platform's error when the page cannot be read. A UTF-16 page is not
  // rewritten (the byte-level rewriting would garble it): Verbatim is set,
  // the page is to be copied as it is, and PageText holds its text in
  // UTF-8 for the reference check, which then keeps the duplicates it
  // names.
  void Rewrite(const std::string& PageFile);

  bool Verbatim = false;
  std::string CurPageDir;  // the page's folder in the site, ending in "/"
  std::string PageText;    // the page text: every line followed by CR LF
  int TextOffset = 0;      // bytes PageText has become shorter in this pass

 private:
  const TWebFilsMgr& Engine;
  const TCodePage CodePage;
  TclHtmlParser Parser;

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

  // The parser's events: an image tag (first pass) and a link tag (second).
  void OnImage(TclHtmlImage* Image);
  void OnLink(TclHtmlLink* Link);
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

}  // namespace larkspan
