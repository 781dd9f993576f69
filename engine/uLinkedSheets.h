// The style sheets of the site a page links to, read for the white-space
// rules the page minifier must honour (minify/PagePreRules.h): a page whose
// sheet sets `div.code { white-space: pre }` keeps the white space of its
// div.code elements, as it would with the rule in a <style> block.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "minify/PagePreRules.h"
#include "platform/CodePage.h"

namespace larkspan {

// Created for one run on the site folder Root (ending in "/"). The sheets a
// page links to are its <link rel=stylesheet href> elements, resolved
// against the page's folder or its <base href> (a base naming a host
// resolves nothing relative), and the sheets those name in @import, one
// level deep. A sheet outside the site (another host, a ".." above Root),
// missing, not a file, or larger than the minifiers take adds nothing.
// Each sheet is read once per run. Any thread; calls may overlap.
// Rules as text, the same for the same rules whatever order they were
// added in ("" for none): what a cache key takes of them.
std::string RulesKeyText(const minify::TPreRules& Rules);

class TLinkedSheets {
 public:
  // Setting: the run's code page, for sheets without a mark of their own.
  TLinkedSheets(std::string Root, TCodePage Setting);

  // Adds to Rules the rules of the sheets the page PageFile (its full path
  // in the site), whose text is Page, links to.
  void AddRules(const std::string& PageFile, std::string_view Page, minify::TPreRules& Rules);

  // The full paths of those sheets that exist, linked ones first, each once.
  std::vector<std::string> SheetsOf(const std::string& PageFile, std::string_view Page);

  // The rules of the sheets the page PageFile links to, as the page
  // minifier receives them, from the page's file content Bytes (UTF-16 is
  // read as the minifiers read it).
  minify::TPreRules RulesOf(const std::string& PageFile, std::string_view Bytes);

  // SheetsOf the page PageFile whose text is in the file TextFile (the page,
  // or its rewritten copy; UTF-16 is read as the minifiers read it), as paths
  // a Java program can name: a sheet whose path is not UTF-8 is copied into
  // Folder (ending in "/") first. Empty when TextFile cannot be read.
  std::vector<std::string> SheetsForProgram(const std::string& PageFile,
                                            const std::string& TextFile, const std::string& Folder);

 private:
  struct TSheet {
    minify::TPreRules Rules;
    std::vector<std::string> Imports;  // full paths in the site
  };

  std::string Root;
  TCodePage Setting;
  std::mutex Lock;  // guards Sheets
  std::unordered_map<std::string, std::unique_ptr<const TSheet>> Sheets;

  // The sheet at Path, read on first use; null when it adds nothing.
  const TSheet* Sheet(const std::string& Path);
  std::unique_ptr<const TSheet> Read(const std::string& Path) const;
};

}  // namespace larkspan
