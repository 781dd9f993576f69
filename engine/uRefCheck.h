// Finding references to a set of files of a site in its text files.
//
// The page rewriting changes only the references it recognises; a page, a
// style sheet or a script may still point at a left-out duplicate in many
// other ways (a path with "..", a leading "/", a query, percent-encoding,
// srcset, url(), a string in a script...). TRefScanner finds such references
// in one pass over a text, whatever the number of files it looks for.
//
// A reference built by a script at run time ("img/" + name + ".gif") cannot
// be seen by either reading.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/uRefSpelling.h"
#include "platform/CodePage.h"

namespace larkspan {

// How the relative references of a text file are meant.
enum class TRefBase {
  File,    // relative to the file's own folder: pages, style sheets, SVG...
  Loader,  // relative to whatever page loads or includes it: scripts, JSON and
           // XML data, plain text
};

// Whether a file of this name is a text file that may refer to other files
// of the site (by its extension, letter case ignored), and how its
// references are meant.
bool IsReferringTextFile(std::string_view FileName, TRefBase* Base);

struct TRefHit {
  int Target = 0;  // index into the scanner's targets
  int Line = 0;    // 1-based line of the reference (CR LF, CR and LF end a line)
};

// The files to look for are fixed at construction. A reference is an
// occurrence of a target's extension ("." and the letters after the name's
// last dot, letter case ignored), taken back to any earlier break in the
// text (quote, blank, "(", "=", ","...), with what follows the extension
// (query, fragment) left off, "\/" and "\" read as "/", percent-decoded,
// then resolved: a full URL or "//host/..." by its path from the site root,
// a leading "/" from the site root, anything else from the file's folder
// (TRefBase::File) or, for TRefBase::Loader, as the tail of a site path
// ending on a folder boundary. "." and ".." are folded (".." stops at the
// site root) and the result is compared with the targets ignoring letter
// case. Doubtful readings count: finding a reference too many only keeps a
// file that was not needed.
//
// Thread-safe for concurrent Scan calls once constructed.
class TRefScanner {
 public:
  // Root: the site folder. Targets: full paths below Root; a target outside
  // Root or without a dot in its name is never found.
  TRefScanner(const std::string& Root, const std::vector<std::string>& Targets);

  // The references to targets in Text, the content of File (a full path
  // below Root), in text order; one hit per target and place.
  std::vector<TRefHit> Scan(const std::string& File, std::string_view Text, TRefBase Base) const;

 private:
  // Lower-case site-relative path -> targets (several when names differ in
  // case only); the same for every tail of a path that starts a segment.
  std::unordered_map<std::string, std::vector<int>> ByPath;
  std::unordered_map<std::string, std::vector<int>> ByTail;
  std::vector<std::string> Extensions;  // lower case, without the dot
  std::string RootDir;                  // ends in "/"

  void Resolve(std::string_view Ref, const std::vector<std::string_view>& Folder, TRefBase Base,
               std::vector<int>& Found) const;
};

// A left-out duplicate written to the output after all, because a file of
// the site still refers to it in a form the page rewriting does not change.
struct TKeptDuplicate {
  std::string FileName;  // the duplicate's full path in the site
  std::string RefFile;   // full path of the file that refers to it
  int RefLine = 0;       // 1-based line of the reference in that file
};

// The reference check of one run: which of the left-out duplicates the
// published text files still refer to, and for each the first reference in
// the order the run looks through its files. Files may be looked through on
// several threads at once and in any order: each comes with its Rank, its
// place in that order, and the reference of the lowest rank is kept.
class TRefCheck {
 public:
  // Root: the site folder; Duplicates: full paths, by DetailList index.
  TRefCheck(const std::string& Root, const std::vector<std::string>& Duplicates);

  // Looks through Text, the content of File (a page, as published, or a
  // text file IsReferringTextFile knows), and notes every reference it holds
  // to a duplicate, read as TRefScanner
  // reads them, character references decoded and relative references read
  // from the page's <base href> as well. Any thread.
  void Note(const std::string& File, int64_t Rank, std::string_view Text);
  // Looks through the file at ReadFrom, the content of File, for the
  // duplicates' file names, letter case ignored, as they are or escaped
  // (percent escapes, character references), and notes every duplicate it
  // names: a file of a kind whose references are not known may refer to a
  // duplicate in any form (a rewrite rule, a template, a source map), so a
  // mention of its name is enough. Reads the file
  // in parts, so its size does not matter. A file starting with a UTF-16
  // byte-order mark, or any when Utf16 is set (Big: its byte order), is
  // read as UTF-16. Throws the platform's error when it cannot be read.
  // Any thread.
  void NoteMentions(const std::string& File, int64_t Rank, const std::string& ReadFrom,
                    bool Utf16 = false, bool Big = false);
  // Whether File has been looked through. Any thread.
  bool Checked(const std::string& File) const;
  // The first reference to each duplicate, by DetailList index; RefLine 0
  // for a duplicate nothing refers to. REQUIRES: no Note running.
  const std::vector<TKeptDuplicate>& Found() const { return First; }

 private:
  TRefScanner Scanner;
  TNameFinder NameFinder;
  std::vector<std::string> Names;
  void NoteHit(const std::string& File, int64_t Rank, size_t Target, int Line);
  mutable std::mutex Lock;  // guards what follows
  std::vector<TKeptDuplicate> First;
  std::vector<int64_t> FirstRank;
  std::unordered_set<std::string> CheckedFiles;
};

// Notes for Check, on Jobs threads, the references in every page of Pages
// it has not looked through yet (read in PageCodePage) and in the files of
// OtherLists whose references are known (style sheets, scripts, JSON, XML,
// SVG..., see IsReferringTextFile), and the duplicates' names in their
// other files that may hold text (.htaccess, source maps, templates...:
// anything but pictures, sounds, films, fonts and archives). A file's rank
// is its place in Pages followed by OtherLists. BeforeEach is called before
// each file and may throw to end the look (a stop); errors reading a file
// are passed on.
void NoteSiteReferences(TRefCheck& Check, const std::vector<std::string>& Pages,
                        const std::vector<const std::vector<std::string>*>& OtherLists,
                        TCodePage PageCodePage, int Jobs, const std::function<void()>& BeforeEach);

}  // namespace larkspan
