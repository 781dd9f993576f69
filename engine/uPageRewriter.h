// The reference rewriting of one page: a page that refers to a left-out
// duplicate picture is written referring to the picture that was kept.
//
// A page is parsed once for its image and link tags; every change replaces
// the text of one tag, and TextOffset keeps the positions of the later tags
// right. Nothing else of the page changes: not its line breaks, not its
// last byte.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/uDuplicates.h"
#include "engine/uRefSpelling.h"
#include "htmlparser/clHtmlParser.h"
#include "platform/CodePage.h"

namespace larkspan {

// One rewriter per worker: it owns its parser and the state of the page it
// is on, and reads the run's duplicates, which must not change while it is
// used (they are final once every picture is digested). Not for use by two
// threads at once.
class TPageRewriter {
 public:
  // Duplicates must outlive the rewriter. RootDir is the site folder.
  // CodePage is the run's code page (a page is known as UTF-16 by the
  // minifiers' rules, IsUtf16Page).
  TPageRewriter(const TDuplicateSet& ADuplicates, const std::string& RootDir, TCodePage ACodePage);

  // Reads the page and leaves its rewritten text in PageText: its bytes as
  // they were, line breaks included, but for the references to left-out
  // duplicates, whichever way they are spelt ("./b.gif", "x/../b.gif",
  // "/img/b.gif" from the site's top, percent escapes, character
  // references, relative to the page's <base href>), each replaced by a
  // reference to the picture kept, spelt alike. Returns whether any
  // reference changed. Throws the platform's error when the page cannot be
  // read. A UTF-16 page is not rewritten (the byte-level rewriting would
  // garble it): Verbatim is set and false returned.
  bool Rewrite(const std::string& PageFile);

  bool Verbatim = false;
  std::string CurPageDir;  // the page's folder in the site, ending in "/"
  std::string PageText;    // the page text
  int TextOffset = 0;      // bytes PageText has become shorter in this pass

 private:
  const TDuplicateSet& Duplicates;
  const std::string Root;  // the site folder, ending in "/"
  const TCodePage CodePage;
  TclHtmlParser Parser;
  // The folder the page's relative references start from (its <base href>
  // or its own folder); "" when a base names another host.
  std::string RefDir;
  // The duplicates' file names, to skip pages that name none.
  std::unique_ptr<TNameFinder> Names;

  // The text the running pass parses; the parser's positions refer to it.
  std::string ParseText;
  // The changes of a pass, in text order, applied in one copy at its end.
  struct TTagEdit {
    size_t Start, Length;
    std::string Text;
  };
  std::vector<TTagEdit> TagEdits;

  // The parser's events: an image tag and a link tag.
  void OnImage(TclHtmlImage* Image);
  void OnLink(TclHtmlLink* Link);
  // The reference to the kept picture for Ref when Ref leads to a left-out
  // duplicate; "" otherwise. ExactCase: the duplicate's path must match
  // letter for letter (links); otherwise letter case is ignored unless
  // the spelling names another existing file exactly (images).
  std::string MasterRefFor(std::string_view Ref, bool ExactCase) const;
  // Finds the bytes of Tag between its "<" and ">" in ParseText (0-based
  // start and length); false when they cannot be matched with SourceText.
  bool LocateTag(const TclHtmlTag* Tag, size_t& Start, size_t& Length) const;
  // Puts Text in place of Length bytes of the tag found at Start.
  void ReplaceTagText(size_t Start, size_t Length, const std::string& Text);
};

}  // namespace larkspan
